#include "LazyLibrary.h"

#include "CoreLogging.h"

#include <QMutex>

#include <map>
#include <memory>

namespace {
QMutex openedMutex;
// Opened libraries by name; QLibrary leaves them loaded for the process's life.
std::map<QByteArray, std::unique_ptr<QLibrary>> opened;
} // namespace

QFunctionPointer LazyLibrary::resolve(const char* symbol) const
{
    const QMutexLocker lock(&openedMutex);
    std::unique_ptr<QLibrary>& library = opened[QByteArray(name)];
    if (!library) {
        library = std::make_unique<QLibrary>(QString::fromLatin1(name), version);
        if (!library->load()) {
            qCCritical(lcCore) << "cannot load" << name << library->errorString();
        }
    }
    return library->isLoaded() ? library->resolve(symbol) : nullptr;
}
