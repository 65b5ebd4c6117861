#ifndef WEBMODULE_H
#define WEBMODULE_H

#include "app/PortalEngine.h"

// Where the portal engine comes from: a module beside the executable that is opened on first
// use (Linux), or linked in (Windows, and the tests everywhere).
namespace WebModule {
// Null, with a log line saying why, when the module cannot be opened.
PortalEngineFactory factory();
} // namespace WebModule

#endif // WEBMODULE_H
