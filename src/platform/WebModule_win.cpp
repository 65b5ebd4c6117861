#include "WebModule.h"

// On Windows the module is a static library linked into the executable.
extern "C" PortalEngine* norvCreatePortalEngine(CMainWindow* window);

namespace WebModule {
PortalEngineFactory factory()
{
    return &norvCreatePortalEngine;
}
} // namespace WebModule
