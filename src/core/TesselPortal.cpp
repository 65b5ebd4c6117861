#include "TesselPortal.h"

TesselPortal::TesselPortal(TesselCore* core, QObject* parent)
    : QObject(parent)
    , m_core(core)
{
}
