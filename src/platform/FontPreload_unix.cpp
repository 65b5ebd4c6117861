#include "FontPreload.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

// Reading fontconfig's configuration and caches takes about 7 ms, all of it before Qt's first
// font look-up, and needs nothing of Qt. fontconfig sets its configuration atomically: should
// Qt ask before this thread is done, both load one and only one is kept.
FontPreload::FontPreload()
{
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread to spare: Qt loads the configuration itself, as it would anyway.
    }
}

FontPreload::~FontPreload()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
