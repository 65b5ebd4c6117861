#include "app/Product.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString WindowTitle = QString::fromUtf8(ProductName);

QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/norv-client/norv-client.ini");
}

// Runs a desktop tool of the test session and returns its standard output.
QByteArray runTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(10000);
    if (exitCode) {
        *exitCode = tool.exitCode();
    }
    return tool.readAllStandardOutput();
}

bool windowShown()
{
    int exitCode = -1;
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), WindowTitle},
            &exitCode);
    return exitCode == 0;
}

// Asks the window manager to close the window, as the title bar's close button does.
void closeWindow()
{
    runTool(QStringLiteral("wmctrl"), {QStringLiteral("-c"), WindowTitle});
}
} // namespace

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
    int exitCode = -1;
    runTool(QStringLiteral("wmctrl"), {QStringLiteral("-m")}, &exitCode);
    QVERIFY2(exitCode == 0, "a window manager is needed (scripts/test starts openbox)");
}

void TestLoginClose::startClient(ProcessSet& processes, bool miniTray, QProcess** client)
{
    QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
    QSettings(settingsPath(), QSettings::IniFormat).setValue(QStringLiteral("MiniTray"), miniTray);
    *client = processes.start(TestEnvironment::clientPath());
    QVERIFY(waitForStandardError(*client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(windowShown(), 20000);
}

void TestLoginClose::closingEndsTheApplicationWithoutMinimiseToTray()
{
    ProcessSet processes;
    QProcess* client = nullptr;
    startClient(processes, false, &client);
    closeWindow();
    QVERIFY(client->waitForFinished(20000));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(client->readAllStandardOutput().contains("handle_exit_application\n"));
}

void TestLoginClose::closingOnlyHidesWithMinimiseToTray()
{
    ProcessSet processes;
    QProcess* client = nullptr;
    startClient(processes, true, &client);
    closeWindow();
    QTRY_VERIFY_WITH_TIMEOUT(!windowShown(), 20000);
    QCOMPARE(client->state(), QProcess::Running);
    // The single-instance guard still sees it running.
    QProcess* second = processes.start(TestEnvironment::clientPath());
    QVERIFY(second->waitForFinished(30000));
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(client->state(), QProcess::Running);
    QVERIFY(!client->readAllStandardOutput().contains("handle_exit_application"));
}

NORV_TEST_MAIN(TestLoginClose)
#include "tst_loginclose.moc"
