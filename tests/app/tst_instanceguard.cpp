#include "app/OutputLines.h"
#include "common/DesktopSession.h"
#include "common/OtherUser.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "platform/InstanceGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
// How the autostart entry starts the client: hidden in the tray.
const QStringList AutostartArguments {QStringLiteral("-min"), QStringLiteral("-autorun")};
const int CopyStartTimeoutMs = 30000;

// Copies an executable under another file name, so it shows up under that name in /proc.
QString copyExecutable(const QString& source, const QString& targetPath)
{
    QFile::remove(targetPath);
    if (!QFile::copy(source, targetPath)) {
        return {};
    }
    QFile::setPermissions(targetPath, QFile::permissions(source) | QFile::ExeOwner);
    return targetPath;
}

// Processes start through setpriv, which only then becomes program: until /proc shows program's
// file as the process's executable, the process still runs under setpriv's name.
bool startCopy(ProcessSet& processes, const QString& program)
{
    const QString exe =
        QStringLiteral("/proc/%1/exe").arg(processes.start(program, {QStringLiteral("60")})->processId());
    const QString expected = QFileInfo(program).canonicalFilePath();
    return QTest::qWaitFor([&] { return QFileInfo(exe).symLinkTarget() == expected; }, CopyStartTimeoutMs);
}

QByteArray processName(const QProcess* process)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(process->processId()));
    return comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
}

int zombieCount(const QString& name)
{
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly) && stat.readAll().contains(QByteArray("(" + name.toUtf8() + ") Z"))) {
            ++count;
        }
    }
    return count;
}
} // namespace

class TestInstanceGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void ownNameIsTheExecutableFileName();
    void countsProcessesByExactFileName();
    void endedProcessesDoNotCount();
    void secondClientEndsAtOnceWithCodeZero();
    void clientUnderAnotherNameRunsBesideTheFirst();
    void unrelatedProgramWithTheSameNameBlocksStart();
    void anotherUsersProcessWithTheSameNameDoesNotBlockStart();
    void laterStartWithoutArgumentsShowsTheRunningClient();
    void anotherUserCannotAskTheRunningClient();

private:
    QTemporaryDir m_dir;
    QString m_sleep;
};

void TestInstanceGuard::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(TestEnvironment::clientPath()), qPrintable(TestEnvironment::clientPath()));
    m_sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    QVERIFY(!m_sleep.isEmpty());
}

void TestInstanceGuard::ownNameIsTheExecutableFileName()
{
    QCOMPARE(InstanceGuard::ownExecutableName(), QStringLiteral("tst_instanceguard"));
    QCOMPARE(InstanceGuard::countProcesses(InstanceGuard::ownExecutableName(), 10), 1);
    QVERIFY(!InstanceGuard::anotherInstanceRunning());
}

void TestInstanceGuard::countsProcessesByExactFileName()
{
    const QString name = QStringLiteral("norv-guard-probe");
    const QString lower = copyExecutable(m_sleep, m_dir.filePath(name));
    const QString upper = copyExecutable(m_sleep, m_dir.filePath(QStringLiteral("Norv-guard-probe")));
    QVERIFY(!lower.isEmpty() && !upper.isEmpty());

    QCOMPARE(InstanceGuard::countProcesses(name, 10), 0);
    ProcessSet processes;
    for (const QString& program : {lower, lower, upper}) {
        QVERIFY(startCopy(processes, program));
    }
    QCOMPARE(InstanceGuard::countProcesses(name, 10), 2);
    QCOMPARE(InstanceGuard::countProcesses(QStringLiteral("Norv-guard-probe"), 10), 1);
    QCOMPARE(InstanceGuard::countProcesses(name, 1), 1);
    QCOMPARE(InstanceGuard::countProcesses(QStringLiteral("norv-guard"), 10), 0);
}

void TestInstanceGuard::endedProcessesDoNotCount()
{
    const QString name = QStringLiteral("norv-zombie");
    const QString probe = copyExecutable(QStandardPaths::findExecutable(QStringLiteral("true")), m_dir.filePath(name));
    QVERIFY(!probe.isEmpty());
    // The probe ends at once, but its parent never waits for it: it stays a zombie.
    ProcessSet processes;
    QProcess* parent = processes.start(QStringLiteral("/bin/sh"),
                                       {QStringLiteral("-c"), QStringLiteral("\"$0\" & exec sleep 60"), probe});
    QVERIFY(parent->waitForStarted());
    QTRY_VERIFY(zombieCount(name) == 1);
    QCOMPARE(InstanceGuard::countProcesses(name, 10), 0);
}

void TestInstanceGuard::secondClientEndsAtOnceWithCodeZero()
{
    ProcessSet processes;
    QProcess* first = processes.start(TestEnvironment::clientPath());
    QVERIFY2(waitForStandardError(first, ClientStartedLine), "the first client did not start");

    QProcess* second = processes.start(TestEnvironment::clientPath());
    QVERIFY(second->waitForFinished(ClientStartTimeoutMs));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(!second->readAllStandardError().contains(ClientStartedLine));
    QCOMPARE(first->state(), QProcess::Running);
}

void TestInstanceGuard::clientUnderAnotherNameRunsBesideTheFirst()
{
    const QString renamed =
        copyExecutable(TestEnvironment::clientPath(), m_dir.filePath(QStringLiteral("norv-client-copy")));
    QVERIFY(!renamed.isEmpty());
    ProcessSet processes;
    QProcess* first = processes.start(TestEnvironment::clientPath());
    QVERIFY2(waitForStandardError(first, ClientStartedLine), "the first client did not start");
    QProcess* copy = processes.start(renamed);
    QVERIFY2(waitForStandardError(copy, ClientStartedLine), "the renamed copy did not start");
    QCOMPARE(first->state(), QProcess::Running);
}

void TestInstanceGuard::unrelatedProgramWithTheSameNameBlocksStart()
{
    const QString impostor = copyExecutable(m_sleep, m_dir.filePath(QStringLiteral("norv-client")));
    const QString otherCase = copyExecutable(m_sleep, m_dir.filePath(QStringLiteral("Norv-Client")));
    QVERIFY(!impostor.isEmpty() && !otherCase.isEmpty());
    ProcessSet processes;
    QVERIFY(startCopy(processes, otherCase));
    // A name that differs only in letter case does not count.
    QProcess* beside = processes.start(TestEnvironment::clientPath());
    QVERIFY2(waitForStandardError(beside, ClientStartedLine), "a differently cased name blocked the client");
    beside->kill();
    QVERIFY(beside->waitForFinished());

    QVERIFY(startCopy(processes, impostor));
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QVERIFY(client->waitForFinished(ClientStartTimeoutMs));
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(!client->readAllStandardError().contains(ClientStartedLine));
}

void TestInstanceGuard::anotherUsersProcessWithTheSameNameDoesNotBlockStart()
{
    const QString unavailable = OtherUser::unavailableReason();
    if (!unavailable.isEmpty()) {
        QSKIP(qPrintable(unavailable));
    }
    // The other user must be able to reach and run the impostor.
    QTemporaryDir shared;
    QVERIFY(shared.isValid());
    QVERIFY(
        QFile::setPermissions(shared.path(), QFile::permissions(shared.path()) | QFile::ReadOther | QFile::ExeOther));
    const QString impostor = copyExecutable(m_sleep, shared.filePath(QStringLiteral("norv-client")));
    QVERIFY(!impostor.isEmpty());
    QVERIFY(QFile::setPermissions(impostor, QFile::permissions(impostor) | QFile::ReadOther | QFile::ExeOther));

    ProcessSet processes;
    QProcess* other =
        processes.start(OtherUser::launcher(), OtherUser::launcherArguments(impostor, {QStringLiteral("60")}));
    QVERIFY(other->waitForStarted());
    QTRY_COMPARE(processName(other), QByteArray("norv-client"));
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QVERIFY2(waitForStandardError(client, ClientStartedLine), "another user's process blocked the client");
}

void TestInstanceGuard::laterStartWithoutArgumentsShowsTheRunningClient()
{
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    QProcess* first = processes.start(TestEnvironment::clientPath(), AutostartArguments);
    QByteArray log;
    QVERIFY2(waitForStandardError(first, ClientStartedLine, ClientStartTimeoutMs, &log), "the client did not start");

    // The autostart's start asks nothing; the one from the menu asks, and both end at once.
    for (const QStringList& arguments : {AutostartArguments, QStringList()}) {
        QProcess* later = processes.start(TestEnvironment::clientPath(), arguments);
        QVERIFY(later->waitForFinished(ClientStartTimeoutMs));
        QCOMPARE(later->exitCode(), 0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowActive(), ClientStartTimeoutMs);
    QTRY_VERIFY((log += first->readAllStandardError()).contains(OutputLines::ShowRequested));
    QCOMPARE(log.count(OutputLines::ShowRequested), 1);
}

void TestInstanceGuard::anotherUserCannotAskTheRunningClient()
{
    const QString unavailable = OtherUser::unavailableReason();
    if (!unavailable.isEmpty()) {
        QSKIP(qPrintable(unavailable));
    }
    ProcessSet processes;
    QProcess* first = processes.start(TestEnvironment::clientPath(), AutostartArguments);
    QVERIFY2(waitForStandardError(first, ClientStartedLine), "the client did not start");
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QStringList sockets = QDir(runtime).entryList({QStringLiteral("*.launch")}, QDir::System);
    QCOMPARE(sockets.size(), 1);
    // Even with the folders open to all, the socket itself is the user's alone.
    for (const QString& folder : {TestEnvironment::homeFolder(), runtime}) {
        QVERIFY(QFile::setPermissions(folder, QFile::permissions(folder) | QFile::ExeOther));
    }

    QProcess* other = processes.start(OtherUser::launcher(),
                                      OtherUser::launcherArguments(QStringLiteral("/usr/bin/python3"),
                                                                   {QStringLiteral("-c"),
                                                                    QStringLiteral("import socket, sys\n"
                                                                                   "s = socket.socket(socket.AF_UNIX)\n"
                                                                                   "s.connect(sys.argv[1])\n"
                                                                                   "s.sendall(b'show \\n')"),
                                                                    runtime + QLatin1Char('/') + sockets.first()}));
    QVERIFY(other->waitForFinished(ClientStartTimeoutMs));
    QVERIFY2(other->readAllStandardError().contains("PermissionError"), "another user reached the socket");
}

NORV_TEST_MAIN(TestInstanceGuard)
#include "tst_instanceguard.moc"
