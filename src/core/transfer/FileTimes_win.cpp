#include "FileTimes.h"

#include <QDateTime>
#include <QFileInfo>

qint64 FileTimes::modifiedMs(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
}
