#include "SafeFiles.h"

#include "SafeFileName.h"

#include <QFile>
#include <QFileInfo>

namespace {
// Names taken again between the look and the rename are tried anew, a bounded number of times.
const int MaxNameAttempts = 100;
} // namespace

namespace SafeFiles {
QString finish(const QString& partPath, const QString& wanted, QString* error)
{
    QFile part;
    const int descriptor = openOwn(partPath, error);
    if (descriptor < 0 || !part.open(descriptor, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        return {};
    }
    // Written out before it takes its name: after a crash the name holds the whole file or nothing.
    if (!sync(descriptor)) {
        *error = QStringLiteral("cannot write the file out to the disk");
        return {};
    }
    part.close();
    const QFileInfo info(wanted);
    QString path = wanted;
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        switch (rename(partPath, path, error)) {
        case Renamed::Done:
            return path;
        case Renamed::Failed:
            return {};
        case Renamed::Taken:
            path = SafeFileName::unusedPath(info.absolutePath(), info.fileName());
            break;
        }
    }
    *error = QStringLiteral("no free name for %1").arg(info.fileName());
    return {};
}
} // namespace SafeFiles
