#include "AutoStart.h"
#include "app/Logging.h"

#include "config/DesktopEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {
QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + QCoreApplication::applicationName() + QStringLiteral(".desktop");
}

// Inside an AppImage the running binary lives in a temporary mount; the image itself is what must start.
QString programPath()
{
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    return appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage;
}

// The entry is applied at every start; rewriting an unchanged one would only wait for the disk.
bool holds(const QString& path, const QByteArray& entry)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(entry.size() + 1) == entry;
}

void writeEntry(const QString& path)
{
    const QByteArray entry = DesktopEntry::autostartEntry(programPath());
    if (holds(path, entry)) {
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCDebug(lcConfig) << "AutoStart: cannot write" << path;
        return;
    }
    // commit() does not notice a failed final flush (a full disk), so flush first.
    if (file.write(entry) != entry.size() || !file.flush() || !file.commit()) {
        qCDebug(lcConfig) << "AutoStart: cannot write" << path;
    }
}

} // namespace

namespace AutoStart {
void apply(bool enabled)
{
    const QString path = entryPath();
    if (enabled) {
        writeEntry(path);
    } else {
        QFile::remove(path);
    }
}
} // namespace AutoStart
