#include "FileTimes.h"

#include <QFile>

#include <sys/stat.h>

namespace {
const qint64 MsPerSecond = 1000;
const qint64 NsPerMs = 1000 * 1000;
} // namespace

qint64 FileTimes::modifiedMs(const QString& path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return -1;
    }
    return static_cast<qint64>(status.st_mtim.tv_sec) * MsPerSecond + status.st_mtim.tv_nsec / NsPerMs;
}
