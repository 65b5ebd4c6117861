#include "OwnerOnly.h"

#include <QDir>
#include <QFileInfo>

namespace OwnerOnly {
void restrict(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists()) {
        QFile::setPermissions(path, info.isDir() ? FolderPermissions : FilePermissions);
    }
}

void makeFolder(const QString& path)
{
    QDir().mkpath(path);
    restrict(path);
}
} // namespace OwnerOnly
