#include "app/OutputLines.h"
#include "common/DesktopSession.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"

class TestLoginClose : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void closingEndsTheApplicationWithoutMinimiseToTray();
    void closingOnlyHidesWithMinimiseToTray();

private:
    void startClient(ProcessSet& processes, bool miniTray, QProcess** client);
};

void TestLoginClose::initTestCase()
{
    QVERIFY2(DesktopSession::windowManagerRuns(), "a window manager is needed (scripts/test starts openbox)");
}

void TestLoginClose::startClient(ProcessSet& processes, bool miniTray, QProcess** client)
{
    TestEnvironment::storeClientMiniTray(miniTray);
    *client = processes.start(TestEnvironment::clientPath());
    QVERIFY(waitForStandardError(*client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(), 20000);
}

void TestLoginClose::closingEndsTheApplicationWithoutMinimiseToTray()
{
    ProcessSet processes;
    QProcess* client = nullptr;
    startClient(processes, false, &client);
    DesktopSession::closeClientWindow();
    QVERIFY(client->waitForFinished(20000));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(client->readAllStandardOutput().contains(OutputLines::ExitRoutine));
}

void TestLoginClose::closingOnlyHidesWithMinimiseToTray()
{
    ProcessSet processes;
    QProcess* client = nullptr;
    startClient(processes, true, &client);
    DesktopSession::closeClientWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!DesktopSession::clientWindowShown(), 20000);
    QCOMPARE(client->state(), QProcess::Running);
    // The single-instance guard still sees it running.
    QProcess* second = processes.start(TestEnvironment::clientPath());
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(client->state(), QProcess::Running);
    QVERIFY(!client->readAllStandardOutput().contains(OutputLines::ExitRoutine));
}

NORV_TEST_MAIN(TestLoginClose)
#include "tst_loginclose.moc"
