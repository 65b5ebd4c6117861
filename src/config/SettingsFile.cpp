#include "SettingsFile.h"

#include "DataDirectory.h"
#include "OwnerOnly.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

namespace {
const QString LanguageKey = QStringLiteral("Language");
const QString AutoStartKey = QStringLiteral("AutoStart");
const QString MiniTrayKey = QStringLiteral("MiniTray");
// QSettings waits 30 s for a lock file it cannot read, as one a writer killed mid-save leaves.
const int StaleLockMs = 1000;
const int LockWaitMs = 2000;
const QString RemovalLockSuffix = QStringLiteral(".rmlock");

// The values as the INI file spells them.
QVariantMap stored(const Settings& settings)
{
    return {{LanguageKey, QString::number(settings.language)},
            {AutoStartKey, QVariant(settings.autoStart).toString()},
            {MiniTrayKey, QVariant(settings.miniTray).toString()}};
}

// Writing the same values again would only cost a lock file, a new file and a wait for the disk.
bool holds(const QString& settingsPath, const QVariantMap& values)
{
    const QSettings file(settingsPath, QSettings::IniFormat);
    return std::all_of(values.keyBegin(), values.keyEnd(), [&](const QString& key) {
        return file.contains(key) && file.value(key).toString() == values.value(key).toString();
    });
}

// A lock a killed writer left is removed under a second lock, "<lock>.rmlock", and QLockFile
// judges that one by its age alone (30 s) when the kill left it empty: the next save would hang
// that long. So every leftover in that chain is cleared, the innermost first.
void clearStaleLocks(const QString& settingsPath)
{
    QStringList lockPaths {settingsPath + QStringLiteral(".lock")};
    while (QFileInfo::exists(lockPaths.last() + RemovalLockSuffix)) {
        lockPaths.append(lockPaths.last() + RemovalLockSuffix);
    }
    for (auto lockPath = lockPaths.crbegin(); lockPath != lockPaths.crend(); ++lockPath) {
        QLockFile lock(*lockPath);
        lock.setStaleLockTime(StaleLockMs);
        if (lock.tryLock(LockWaitMs)) {
            lock.unlock();
        }
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
    OwnerOnly::restrict(path());
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
    const QVariantMap values = stored(settings);
    if (holds(path(), values)) {
        return;
    }
    DataDirectory::ensureExists();
    clearStaleLocks(path());
    QSettings file(path(), QSettings::IniFormat);
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        file.setValue(value.key(), value.value());
    }
    // A new file gets the umask's permissions.
    file.sync();
    OwnerOnly::restrict(path());
}
} // namespace SettingsFile
