#include "SettingsFile.h"

#include "DataDirectory.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QSettings>

namespace {
const QString LanguageKey = QStringLiteral("Language");
const QString AutoStartKey = QStringLiteral("AutoStart");
const QString MiniTrayKey = QStringLiteral("MiniTray");
// QSettings waits 30 s for a lock file it cannot read, as one a writer killed mid-save leaves.
const int StaleLockMs = 1000;
const int LockWaitMs = 2000;

void clearStaleLock(const QString& settingsPath)
{
    QLockFile lock(settingsPath + QStringLiteral(".lock"));
    lock.setStaleLockTime(StaleLockMs);
    if (lock.tryLock(LockWaitMs)) {
        lock.unlock();
    }
}
} // namespace

namespace SettingsFile {
QString path()
{
    return DataDirectory::filePath(QCoreApplication::applicationName() + QStringLiteral(".ini"));
}

Settings read()
{
    DataDirectory::ensureExists();
    const Settings defaults;
    const QSettings file(path(), QSettings::IniFormat);
    Settings settings;
    settings.language = file.value(LanguageKey, defaults.language).toInt();
    settings.autoStart = file.value(AutoStartKey, defaults.autoStart).toBool();
    settings.miniTray = file.value(MiniTrayKey, defaults.miniTray).toBool();
    return settings;
}

void write(const Settings& settings)
{
    DataDirectory::ensureExists();
    clearStaleLock(path());
    QSettings file(path(), QSettings::IniFormat);
    file.setValue(LanguageKey, settings.language);
    file.setValue(AutoStartKey, settings.autoStart);
    file.setValue(MiniTrayKey, settings.miniTray);
}
} // namespace SettingsFile
