#include "FontPreload.h"

// Windows gives Qt its fonts without a configuration to load first.
FontPreload::FontPreload() = default;

FontPreload::~FontPreload() = default;
