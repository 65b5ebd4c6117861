#include "DataDirectory.h"

#include "OwnerOnly.h"

#include <QDir>
#include <QStandardPaths>

namespace DataDirectory {
QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void ensureExists()
{
    const QString folder = path();
    if (!QDir(folder).exists()) {
        QDir().mkdir(folder);
    }
    OwnerOnly::restrict(folder);
}

QString filePath(const QString& fileName)
{
    return path() + QLatin1Char('/') + fileName;
}
} // namespace DataDirectory
