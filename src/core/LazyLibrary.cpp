#include "LazyLibrary.h"

#include "CoreLogging.h"

LazyLibrary::LazyLibrary(const char* name, int version)
    : m_library(QString::fromLatin1(name), version)
{
    // QLibrary's destructor leaves it loaded: it stays for the process's life.
    if (!m_library.load()) {
        qCCritical(lcCore) << "cannot load" << name << m_library.errorString();
    }
}
