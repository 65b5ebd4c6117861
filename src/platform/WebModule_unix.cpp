#include "WebModule.h"
#include "app/Logging.h"

#include <QCoreApplication>
#include <QLibrary>

#include <dlfcn.h>

namespace {
// In a folder beside the executable, in the build tree and where it is installed alike; a
// folder of its own keeps it out of the library folders the system's linker caches.
const char* const ModuleFile = "/modules/norv-web.so";
// The one function the module exports (web/WebEngineParts.cpp).
const char* const FactoryName = "norvCreatePortalEngine";
} // namespace

namespace WebModule {

PortalEngineFactory factory()
{
    // Programs that link the module (the tests, the tools) have it already.
    if (void* linked = dlsym(RTLD_DEFAULT, FactoryName)) {
        return reinterpret_cast<PortalEngineFactory>(linked);
    }
    // Only the module the client was installed with: never one found on a search path.
    QLibrary module(QCoreApplication::applicationDirPath() + QLatin1String(ModuleFile));
    auto* created = reinterpret_cast<PortalEngineFactory>(module.resolve(FactoryName));
    if (!created) {
        qCWarning(lcApp).noquote() << "the web engine cannot be loaded:" << module.errorString();
    }
    return created;
}
} // namespace WebModule
