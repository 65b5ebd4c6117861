#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {
// The client's executable name, which names its data folder and settings file.
const QString ClientName = QStringLiteral("norv-client");

QTemporaryDir* temporaryHome()
{
    // Deliberately leaked: it must outlive the application and every test object.
    static QTemporaryDir* home = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/norv-test-XXXXXX"));
    return home;
}

void pointAt(const char* variable, const QString& path)
{
    QDir().mkpath(path);
    qputenv(variable, QFile::encodeName(path));
}
} // namespace

namespace TestEnvironment {
void isolateUserFolders()
{
    const QString home = temporaryHome()->path();
    pointAt("HOME", home);
    pointAt("XDG_CONFIG_HOME", home + QStringLiteral("/.config"));
    pointAt("XDG_DATA_HOME", home + QStringLiteral("/.local/share"));
    pointAt("XDG_CACHE_HOME", home + QStringLiteral("/.cache"));
    pointAt("XDG_STATE_HOME", home + QStringLiteral("/.local/state"));
    const QString runtime = home + QStringLiteral("/runtime");
    pointAt("XDG_RUNTIME_DIR", runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Keep the machine's own autostart entries and data out of the search paths, too.
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(home + QStringLiteral("/etc-xdg")));
    // Tests read the client's debug lines, which are off by default.
    qputenv("QT_LOGGING_RULES", "norv.*.debug=true;tessel.*.debug=true");
    // The web engine refuses to run as root with its sandbox on.
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

QString homeFolder()
{
    return temporaryHome()->path();
}

QString binFolder()
{
    const QString fromBuild = qEnvironmentVariable("NORV_BIN_DIR");
    return fromBuild.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../bin") : fromBuild;
}
} // namespace TestEnvironment

QString TestEnvironment::clientPath()
{
    return binFolder() + QLatin1Char('/') + ClientName;
}

QString TestEnvironment::clientDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + ClientName;
}

QString TestEnvironment::clientSettingsPath()
{
    return clientDataFolder() + QLatin1Char('/') + ClientName + QStringLiteral(".ini");
}

void TestEnvironment::storeClientMiniTray(bool on)
{
    QDir().mkpath(clientDataFolder());
    QSettings(clientSettingsPath(), QSettings::IniFormat).setValue(QStringLiteral("MiniTray"), on);
}

bool TestEnvironment::storeClientServer(const QString& url, bool isDefault)
{
    QDir().mkpath(clientDataFolder());
    QSaveFile file(clientDataFolder() + QStringLiteral("/ServerConfig.xml"));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><ServerList><Server><Default>"
               + QByteArray(isDefault ? "true" : "false") + "</Default><Name>Demo</Name><URL>" + url.toUtf8()
               + "</URL></Server></ServerList>");
    return file.commit();
}

quint64 TestEnvironment::inodeOf(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

int TestEnvironment::modeOf(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}
