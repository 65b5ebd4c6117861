// A full, a read-only and an impossible data folder: every write fails without a crash,
// and the files already there stay exactly as they were. And a data folder that other
// users could read: it and the files in it are made the user's alone.
#include "common/TestEnvironment.h"
#include "config/DataDirectory.h"
#include "config/ServerConfigFile.h"
#include "config/SettingsFile.h"
#include "platform/AutoStart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Smaller than any of the files, so every write runs out of room part-way.
const rlim_t FullDiskBytes = 16;
// What a common umask (022) gives new files and folders: readable by every account.
const mode_t CommonUmask = 022;
const int WideFolderMode = 0755;
const int WideFileMode = 0644;
const int OwnerOnlyFolderMode = 0700;
const int OwnerOnlyFileMode = 0600;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString autostartPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + QCoreApplication::applicationName() + QStringLiteral(".desktop");
}

QVector<ServerEntry> serverList(int count)
{
    QVector<ServerEntry> servers;
    for (int i = 0; i < count; ++i) {
        servers.append({QStringLiteral("s%1").arg(i), QStringLiteral("https://s%1.example").arg(i), i == 0});
    }
    return servers;
}

// Each file with its bytes before the faults.
struct Snapshot
{
    QStringList paths;
    QList<QByteArray> contents;
    QStringList folderEntries;
};

// A file-size limit makes every write to a regular file fail part-way, as a full disk does.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limited {bytes, m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) = nullptr;
};

bool setImmutable(const QString& path, bool immutable)
{
    return QProcess::execute(QStringLiteral("chattr"), {immutable ? QStringLiteral("+i") : QStringLiteral("-i"), path})
        == 0;
}
} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fullDiskKeepsTheFiles_data();
    void fullDiskKeepsTheFiles();
    void readOnlyFolderKeepsTheFiles();
    void folderThatCannotExistIsHarmless();
    void newFilesAreTheUsersAlone();
    void widerPermissionsAreNarrowedWhenRead();

private:
    Snapshot writeKnownFiles();
    static void tryToRewriteEverything(int newServers);
    static void verifyUnchanged(const Snapshot& before);

    QStringList m_immutable;
};

void TestDataFolder::init()
{
    QDir(DataDirectory::path()).removeRecursively();
    QFile::remove(autostartPath());
}

void TestDataFolder::cleanup()
{
    for (const QString& path : qAsConst(m_immutable)) {
        setImmutable(path, false);
    }
    m_immutable.clear();
}

Snapshot TestDataFolder::writeKnownFiles()
{
    SettingsFile::write({1, true, false});
    ServerConfigFile servers;
    servers.write(serverList(2));
    AutoStart::apply(true);
    Snapshot snapshot;
    snapshot.paths = QStringList {SettingsFile::path(), servers.filePath(), autostartPath()};
    for (const QString& path : qAsConst(snapshot.paths)) {
        snapshot.contents << readAll(path);
    }
    snapshot.folderEntries =
        QDir(DataDirectory::path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return snapshot;
}

void TestDataFolder::tryToRewriteEverything(int newServers)
{
    SettingsFile::write({0, false, true});
    QVERIFY(!ServerConfigFile().write(serverList(newServers)));
    qputenv("APPIMAGE", "/opt/elsewhere/norv-client.AppImage");
    AutoStart::apply(true);
    qunsetenv("APPIMAGE");
}

void TestDataFolder::verifyUnchanged(const Snapshot& before)
{
    for (int i = 0; i < before.paths.size(); ++i) {
        QVERIFY2(!before.contents.at(i).isEmpty(), qPrintable(before.paths.at(i)));
        QCOMPARE(readAll(before.paths.at(i)), before.contents.at(i));
    }
    // No half-written temporary file is left behind either.
    QCOMPARE(QDir(DataDirectory::path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             before.folderEntries);
    QVector<ServerEntry> servers;
    QCOMPARE(ServerConfigFile().read(servers), ServerConfigFile::ReadOk);
    QCOMPARE(servers.size(), 2);
}

void TestDataFolder::fullDiskKeepsTheFiles_data()
{
    // A short file stays in the write buffer until the final flush; a long one is written at once.
    QTest::addColumn<int>("newServers");
    QTest::newRow("short files") << 3;
    QTest::newRow("long list") << 400;
}

void TestDataFolder::fullDiskKeepsTheFiles()
{
    QFETCH(int, newServers);
    const Snapshot before = writeKnownFiles();
    {
        FileSizeLimit full(FullDiskBytes);
        tryToRewriteEverything(newServers);
    }
    verifyUnchanged(before);
}

void TestDataFolder::readOnlyFolderKeepsTheFiles()
{
    const Snapshot before = writeKnownFiles();
    const QStringList folders {DataDirectory::path(), QFileInfo(autostartPath()).absolutePath()};
    if (geteuid() == 0) {
        // Permissions do not stop root; the immutable attribute does.
        for (const QString& path : before.paths + folders) {
            if (!setImmutable(path, true)) {
                QSKIP("chattr +i does not work on this file system");
            }
            m_immutable << path;
        }
    } else {
        for (const QString& folder : folders) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
    }
    tryToRewriteEverything(1);
    for (const QString& folder : folders) {
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    verifyUnchanged(before);
}

void TestDataFolder::folderThatCannotExistIsHarmless()
{
    // The data folder's parent is a plain file: nothing can ever be written beneath it.
    const QString blocker = TestEnvironment::homeFolder() + QStringLiteral("/blocker");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", blocker.toLocal8Bit());
    SettingsFile::write({1, false, false});
    SettingsFile::read();
    const bool written = ServerConfigFile().write(serverList(1));
    QVector<ServerEntry> servers;
    const ServerConfigFile::ReadResult readResult = ServerConfigFile().read(servers);
    qputenv("XDG_DATA_HOME", savedDataHome);

    QVERIFY(!written);
    QCOMPARE(readResult, ServerConfigFile::CannotOpen);
    QCOMPARE(readAll(blocker), QByteArray("x"));
}

void TestDataFolder::newFilesAreTheUsersAlone()
{
    const mode_t savedUmask = ::umask(CommonUmask);
    const auto restoreUmask = qScopeGuard([savedUmask] { ::umask(savedUmask); });
    SettingsFile::write({1, true, false});
    ServerConfigFile servers;
    QVERIFY(servers.write(serverList(1)));

    QCOMPARE(TestEnvironment::modeOf(DataDirectory::path()), OwnerOnlyFolderMode);
    QCOMPARE(TestEnvironment::modeOf(SettingsFile::path()), OwnerOnlyFileMode);
    QCOMPARE(TestEnvironment::modeOf(servers.filePath()), OwnerOnlyFileMode);
}

void TestDataFolder::widerPermissionsAreNarrowedWhenRead()
{
    SettingsFile::write({1, true, false});
    ServerConfigFile servers;
    QVERIFY(servers.write(serverList(1)));
    // As an earlier version, or a copy from another machine, left them.
    QVERIFY(::chmod(QFile::encodeName(DataDirectory::path()).constData(), WideFolderMode) == 0);
    for (const QString& path : {SettingsFile::path(), servers.filePath()}) {
        QVERIFY(::chmod(QFile::encodeName(path).constData(), WideFileMode) == 0);
    }

    SettingsFile::read();
    QVector<ServerEntry> read;
    QCOMPARE(ServerConfigFile().read(read), ServerConfigFile::ReadOk);

    QCOMPARE(TestEnvironment::modeOf(DataDirectory::path()), OwnerOnlyFolderMode);
    QCOMPARE(TestEnvironment::modeOf(SettingsFile::path()), OwnerOnlyFileMode);
    QCOMPARE(TestEnvironment::modeOf(servers.filePath()), OwnerOnlyFileMode);
}

NORV_TEST_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
