#include "CCombox.h"

void CCombox::wheelEvent(QWheelEvent*) { }
