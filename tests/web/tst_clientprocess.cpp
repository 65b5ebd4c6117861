// The real client as a separate process, with the demo portal as its default server, driven
// from outside the way a user and the window manager drive it.

#include "app/OutputLines.h"
#include "app/Product.h"
#include "common/DemoPortalProcess.h"
#include "common/DesktopSession.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "platform/InstanceGuard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>

namespace {
const QString WindowTitle = QString::fromUtf8(ProductName);
// The server window has this fixed width; the main window shows maximised, far wider.
const int ServerWindowWidth = 500;
const int WindowTimeoutMs = 20000;
const int ExitTimeoutMs = 20000;
// Other test programs start the client too; they end within this time.
const int OtherClientTimeoutMs = 60000;
// Another copy may start between our look at the process table and our start.
const int StartAttempts = 5;
const QByteArray LoadedLine(OutputLines::LoadAccepted);
const QByteArray FailedLine(OutputLines::LoadRefused);
const QByteArray ExitLine(OutputLines::ExitRoutine);
const QByteArray WarmUpLine = QByteArrayLiteral("warming up the web engine for the default server");
const QByteArray LoadLine = QByteArrayLiteral("handle_load");

struct ShownWindow
{
    QString id;
    int width = 0;
};

// The client's windows the window manager shows now (hidden ones are not managed).
QVector<ShownWindow> clientWindows()
{
    // "<id> <desktop> <x> <y> <width> <height> <host> <title>"
    static const QRegularExpression line(QStringLiteral("^(0x[0-9a-fA-F]+)\\s+-?\\d+\\s+-?\\d+\\s+-?\\d+\\s+(\\d+)\\s+"
                                                        "\\d+\\s+\\S+\\s+(.*)$"));
    QVector<ShownWindow> windows;
    const QStringList lines =
        QString::fromUtf8(DesktopSession::runTool({QStringLiteral("wmctrl"), QStringLiteral("-lG")}))
            .split(QLatin1Char('\n'));
    for (const QString& text : lines) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch() && match.captured(3).trimmed() == WindowTitle) {
            windows.append({match.captured(1), match.captured(2).toInt()});
        }
    }
    return windows;
}

// The one window the client shows, when it shows exactly one: the main window if wide, else the server window.
ShownWindow onlyWindow()
{
    const QVector<ShownWindow> windows = clientWindows();
    return windows.size() == 1 ? windows.first() : ShownWindow();
}

// Reads the process's standard output into output until output holds line; false when the
// process ends or time runs out first.
bool waitForOutput(QProcess* process, QByteArray* output, const QByteArray& line, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!output->contains(line) && timer.elapsed() < timeoutMs && process->state() != QProcess::NotRunning) {
        process->waitForReadyRead(200);
        *output += process->readAllStandardOutput();
    }
    *output += process->readAllStandardOutput();
    return output->contains(line);
}

QString clientName()
{
    return QFileInfo(TestEnvironment::clientPath()).fileName();
}

// Why the client wrote no line: most often it ended at once, as it does while another copy runs.
QByteArray whyNoLine(QProcess* client, const QByteArray& output)
{
    if (client->state() != QProcess::NotRunning) {
        return "no such line yet; output so far: " + output;
    }
    return "the client ended with code " + QByteArray::number(client->exitCode())
        + (output.isEmpty() ? QByteArray(" before writing anything: did another norv-client start meanwhile?")
                            : ", output: " + output);
}

// The files the client has mapped, libraries among them; empty when they cannot be read.
QByteArray mappedFiles(QProcess* client)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(client->processId()));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

// Asks the window manager to close the window, as its close button does, and waits for the client to end.
bool closeAndWaitForExit(QProcess* client, const QString& windowId, QByteArray* output)
{
    DesktopSession::runTool({QStringLiteral("wmctrl"), QStringLiteral("-i"), QStringLiteral("-c"), windowId});
    const bool ended = client->waitForFinished(ExitTimeoutMs);
    *output += client->readAllStandardOutput();
    return ended;
}

// Without what failed the client works on: its server window comes up, and closing it ends the client.
bool worksOnAndEnds(QProcess* client)
{
    QByteArray output;
    return QTest::qWaitFor([] { return onlyWindow().width == ServerWindowWidth; }, WindowTimeoutMs)
        && closeAndWaitForExit(client, onlyWindow().id, &output) && client->exitStatus() == QProcess::NormalExit
        && client->exitCode() == 0 && output.endsWith(ExitLine);
}
} // namespace

class TestClientProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void closingTheMainWindowEndsTheClient();
    void failedAutomaticLoginKeepsTheServerWindow();
    void serverWindowComesWithoutTheWebEngine();
    void takenServicePortIsReportedAndTheClientWorksOn();
    void missingWebModuleIsReportedAndTheClientWorksOn();

private:
    QProcess* startClient();
    // Starts program, with the logging categories as the user has them and settings added, once
    // no other client runs; waits for warning on its standard error.
    QProcess* startForWarning(const QString& program, QProcessEnvironment settings, const QByteArray& warning);

    ProcessSet m_processes;
    DemoPortalProcess m_portal;
    // What the client started last has written to its standard error so far.
    QByteArray m_clientLog;
};

void TestClientProcess::initTestCase()
{
    QVERIFY2(DesktopSession::windowManagerRuns(), "a window manager is needed (scripts/test starts openbox)");
    QVERIFY(QFile::exists(TestEnvironment::clientPath()));
    QVERIFY(m_portal.start(m_processes));
}

QProcess* TestClientProcess::startClient()
{
    // The client does not start while any other copy runs on the machine, whoever started it;
    // then it ends at once with code 0, before it starts its services.
    for (int attempt = 0; attempt < StartAttempts; ++attempt) {
        if (!QTest::qWaitFor([] { return InstanceGuard::countProcesses(clientName(), 1) == 0; },
                             OtherClientTimeoutMs)) {
            return nullptr;
        }
        QProcess* client = m_processes.start(TestEnvironment::clientPath());
        m_clientLog.clear();
        if (waitForStandardError(client, ClientStartedLine, ClientStartTimeoutMs, &m_clientLog)) {
            return client;
        }
        if (client->state() != QProcess::NotRunning || client->exitStatus() != QProcess::NormalExit
            || client->exitCode() != 0) {
            // Not the single-instance rule: let the caller report what the client wrote.
            return client;
        }
    }
    return nullptr;
}

void TestClientProcess::closingTheMainWindowEndsTheClient()
{
    TestEnvironment::storeClientMiniTray(false);
    QVERIFY(TestEnvironment::storeClientServer(m_portal.origin(), true));
    QProcess* client = startClient();
    QVERIFY2(client, "another norv-client keeps running on this machine");
    QByteArray output;
    QVERIFY2(waitForOutput(client, &output, LoadedLine, ClientStartTimeoutMs), whyNoLine(client, output).constData());
    // Once the server window had its first paint, the web engine started while the automatic login waited.
    m_clientLog += client->readAllStandardError();
    QVERIFY2(m_clientLog.contains(WarmUpLine), m_clientLog.constData());
    QVERIFY(m_clientLog.indexOf(WarmUpLine) < m_clientLog.indexOf(LoadLine));
    QByteArray portalLog;
    QTRY_VERIFY_WITH_TIMEOUT((portalLog += m_portal.process->readAllStandardError()).contains("GET /app/login 200"),
                             WindowTimeoutMs);

    // The portal replaced the server window with the maximised main window.
    QTRY_VERIFY_WITH_TIMEOUT(onlyWindow().width > ServerWindowWidth, WindowTimeoutMs);
    QVERIFY(closeAndWaitForExit(client, onlyWindow().id, &output));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY2(output.endsWith(ExitLine), output.constData());
}

void TestClientProcess::failedAutomaticLoginKeepsTheServerWindow()
{
    TestEnvironment::storeClientMiniTray(false);
    QVERIFY(
        TestEnvironment::storeClientServer(QStringLiteral("http://127.0.0.1:") + QString::number(closedPort()), true));
    QProcess* client = startClient();
    QVERIFY2(client, "another norv-client keeps running on this machine");
    QByteArray output;
    QVERIFY2(waitForOutput(client, &output, FailedLine, ClientStartTimeoutMs), whyNoLine(client, output).constData());
    QVERIFY(!output.contains(LoadedLine));

    // The main window never came up: only the server window is there, and closing it ends the client too.
    QTRY_COMPARE_WITH_TIMEOUT(onlyWindow().width, ServerWindowWidth, WindowTimeoutMs);
    // Up and with a page tried, yet no file moved: the libraries only transfers need were never mapped.
    const QByteArray mapped = mappedFiles(client);
    QVERIFY(mapped.contains("/libQt5Widgets.so"));
    for (const char* library : {"/libcurl.so", "/libproxy.so", "/libgio-2.0.so"}) {
        QVERIFY2(!mapped.contains(library), library);
    }
    QVERIFY(closeAndWaitForExit(client, onlyWindow().id, &output));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY2(output.endsWith(ExitLine), output.constData());
}

void TestClientProcess::serverWindowComesWithoutTheWebEngine()
{
    TestEnvironment::storeClientMiniTray(false);
    // Saved, but not to be connected at start: nothing asks for a portal.
    QVERIFY(TestEnvironment::storeClientServer(m_portal.origin(), false));
    QProcess* client = startClient();
    QVERIFY2(client, "another norv-client keeps running on this machine");
    QTRY_COMPARE_WITH_TIMEOUT(onlyWindow().width, ServerWindowWidth, WindowTimeoutMs);
    // The engine's libraries take longer to load than the window takes to show; the first portal brings them.
    const QByteArray mapped = mappedFiles(client);
    QVERIFY(mapped.contains("/libQt5Widgets.so"));
    QVERIFY(!mapped.contains("/libQt5WebEngineCore.so"));
    QByteArray output;
    QVERIFY(closeAndWaitForExit(client, onlyWindow().id, &output));
    QCOMPARE(client->exitCode(), 0);
}

void TestClientProcess::takenServicePortIsReportedAndTheClientWorksOn()
{
    // Another program, or another account's client, holds the service's port.
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    TestEnvironment::storeClientMiniTray(false);
    QFile::remove(TestEnvironment::clientDataFolder() + QStringLiteral("/ServerConfig.xml"));
    QProcessEnvironment settings;
    settings.insert(QStringLiteral("NORV_HTTPD_PORT"), QString::number(holder.serverPort()));
    const QByteArray warning =
        QStringLiteral("TesselHttpd cannot listen on 127.0.0.1:%1: ").arg(holder.serverPort()).toUtf8();
    QProcess* client = startForWarning(TestEnvironment::clientPath(), settings, warning);
    QVERIFY(client);
    // The cause follows the port on the same line.
    const int causeStart = m_clientLog.indexOf(warning) + warning.size();
    QVERIFY2(m_clientLog.indexOf('\n', causeStart) > causeStart, m_clientLog.constData());

    QVERIFY(worksOnAndEnds(client));
}

void TestClientProcess::missingWebModuleIsReportedAndTheClientWorksOn()
{
    // The program without the module in its folder, as a broken installation would leave it.
    QTemporaryDir folder;
    const QString program = folder.filePath(clientName());
    QVERIFY(QFile::copy(TestEnvironment::clientPath(), program));
    TestEnvironment::storeClientMiniTray(false);
    QVERIFY(TestEnvironment::storeClientServer(m_portal.origin(), true));
    QProcess* client = startForWarning(program, {}, "the web engine cannot be loaded: ");
    QVERIFY(client);
    QVERIFY(worksOnAndEnds(client));
}

QProcess*
TestClientProcess::startForWarning(const QString& program, QProcessEnvironment settings, const QByteArray& warning)
{
    settings.insert(QStringLiteral("QT_LOGGING_RULES"), QString());
    if (!QTest::qWaitFor([] { return InstanceGuard::countProcesses(clientName(), 1) == 0; }, OtherClientTimeoutMs)) {
        return nullptr;
    }
    QProcess* client = m_processes.start(program, {}, settings);
    QByteArray log;
    if (!waitForStandardError(client, warning, ClientStartTimeoutMs, &log)) {
        qWarning().noquote() << "no" << warning << "from the client; it wrote:" << log;
        return nullptr;
    }
    m_clientLog = log;
    return client;
}

NORV_TEST_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
