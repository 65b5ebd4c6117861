#include "common/CategoryLog.h"
#include "common/OtherUser.h"
#include "common/RawHttp.h"
#include "common/TestEnvironment.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "core/httpd/HttpRequestParser.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace {
// What the service logs for each connection it closes unread.
const QRegularExpression
    ForeignWarning(QStringLiteral("^TesselHttpd closed a connection from port \\d+, which is not this user's$"));
const char* const PortVariable = "NORV_HTTPD_PORT";
const int StartTimeoutMs = 5000;
const int ReplyTimeoutMs = 3000;
const QByteArray PortalOrigin = QByteArrayLiteral("https://portal.example");

// Stands in for the shell's global object: the browser-active callback is a plain
// function that emits one of its signals, and the shell reacts on the main thread.
class BrowserActiveRelay : public QObject
{
    Q_OBJECT

signals:
    void browserActive();
};

BrowserActiveRelay* relay()
{
    static BrowserActiveRelay instance;
    return &instance;
}

std::atomic<int> browserActiveCalls {0};
std::atomic<QThread*> browserActiveThread {nullptr};

void onBrowserActive()
{
    browserActiveThread = QThread::currentThread();
    ++browserActiveCalls;
    emit relay()->browserActive();
}

// Every answer of the local service carries these fields; one without them counts as no
// answer (status -1), so each status check checks them, too.
using Reply = RawReply;
using RawHttp::connectTo;
using RawHttp::getRequest;
using RawHttp::hostLine;

QByteArray envelopeDefect(const Reply& reply)
{
    const QByteArray expectedLength = reply.status == 204 ? QByteArray() : QByteArray::number(reply.body.size());
    if (reply.header("content-length") != expectedLength) {
        return "Content-Length does not match the body";
    }
    if (reply.header("connection") != "close") {
        return "no Connection: close";
    }
    if (reply.header("cache-control") != "no-store") {
        return "no Cache-Control: no-store";
    }
    return {};
}

Reply checked(Reply reply)
{
    if (reply.status == -1) {
        return reply;
    }
    const QByteArray defect = envelopeDefect(reply);
    if (!defect.isEmpty()) {
        qWarning() << "malformed response:" << defect;
        reply.status = -1;
    }
    return reply;
}

Reply readReply(QTcpSocket& socket, int timeoutMs = ReplyTimeoutMs)
{
    return checked(RawHttp::readReply(socket, timeoutMs));
}

Reply exchange(quint16 port, const QByteArray& request)
{
    return checked(RawHttp::exchange(port, request, ReplyTimeoutMs));
}

QByteArray postRequest(quint16 port, const QByteArray& target, const QByteArray& headerLines, const QByteArray& body)
{
    return "POST " + target + " HTTP/1.1\r\n" + hostLine(port) + headerLines
        + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
} // namespace

class TestHttpd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void statusReportsVersionAndDeviceId();
    void anotherUsersConnectionIsClosed();
    void anotherUsersClosedConnectionsAreNotTaken();
    void hostMustNameThisService_data();
    void hostMustNameThisService();
    void browserActiveRunsCallbackOnServerThread();
    void browserActiveRequiresDeviceId_data();
    void browserActiveRequiresDeviceId();
    void languageChangeReachesMainThread_data();
    void languageChangeReachesMainThread();
    void languageRejectsBadRequests_data();
    void languageRejectsBadRequests();
    void preflightAllowsCrossOriginCalls_data();
    void preflightAllowsCrossOriginCalls();
    void unknownPathIsNotFound_data();
    void unknownPathIsNotFound();
    void wrongMethodIsNotAllowed_data();
    void wrongMethodIsNotAllowed();

    void headIsLimited_data();
    void headIsLimited();
    void bodyIsLimited_data();
    void bodyIsLimited();
    void stalledRequestTimesOut();
    void connectionsAreLimited();
    void malformedRequestIsRejected_data();
    void malformedRequestIsRejected();
    void serviceSurvivesBadInput();
    void parserReadsRequestByteByByte();
    void parserStaysWithinLimitsOnNoise();
    void streamingParserLeavesLargeBodyToCaller();

    void startFailsWhenPortIsTaken();
    void invalidPortVariableFallsBackToDefault_data();
    void invalidPortVariableFallsBackToDefault();
    void startsOnConfiguredPortAndSaysSo();
    void restartsAndStopsRepeatedly();

private:
    Reply get(const QByteArray& target) const { return exchange(m_port, getRequest(m_port, target)); }
    Reply post(const QByteArray& target, const QByteArray& headerLines, const QByteArray& body) const;
    QByteArray deviceIdLine() const;

    std::unique_ptr<TesselCore> m_core;
    std::unique_ptr<TesselPortal> m_portal;
    std::unique_ptr<TesselHttpd> m_httpd;
    quint16 m_port = 0;
};

Reply TestHttpd::post(const QByteArray& target, const QByteArray& headerLines, const QByteArray& body) const
{
    return exchange(m_port, postRequest(m_port, target, headerLines, body));
}

QByteArray TestHttpd::deviceIdLine() const
{
    return "X-Device-Id: " + m_core->Get_Deviceuuid().toUtf8() + "\r\n";
}

void TestHttpd::initTestCase()
{
    m_core = std::make_unique<TesselCore>(QStringLiteral("tst_httpd"), 0);
    QVERIFY(!m_core->Get_Deviceuuid().isEmpty());
    m_core->RegisterBrowserActive(&onBrowserActive);
    m_portal = std::make_unique<TesselPortal>(m_core.get());
    qputenv(PortVariable, "0");
    m_httpd = std::make_unique<TesselHttpd>(m_core.get(), m_portal.get());
    QCOMPARE(m_httpd->StartHttpdServer(StartTimeoutMs), 0);
    m_port = m_httpd->port();
    QVERIFY(m_port != 0);
}

void TestHttpd::cleanup()
{
    qputenv(PortVariable, "0");
}

void TestHttpd::cleanupTestCase()
{
    m_httpd.reset();
}

void TestHttpd::statusReportsVersionAndDeviceId()
{
    const Reply reply =
        exchange(m_port, "GET /status?x=1 HTTP/1.1\r\n" + hostLine(m_port) + "Origin: " + PortalOrigin + "\r\n\r\n");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), QByteArray("application/json"));
    const QJsonObject status = QJsonDocument::fromJson(reply.body).object();
    QCOMPARE(status.value(QStringLiteral("version")).toString(), TesselCore::libraryVersion());
    QCOMPARE(status.value(QStringLiteral("deviceId")).toString(), m_core->Get_Deviceuuid());
    // Other origins must not read the device id, even when a page asks for it.
    QVERIFY(!reply.headers.contains("access-control-allow-origin"));
}

void TestHttpd::anotherUsersConnectionIsClosed()
{
    const QString unavailable = OtherUser::unavailableReason();
    if (!unavailable.isEmpty()) {
        QSKIP(qPrintable(unavailable));
    }
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        QSKIP("curl is not installed");
    }
    const QStringList arguments {QStringLiteral("--silent"), QStringLiteral("http://127.0.0.1:%1/status").arg(m_port)};
    const QByteArray deviceId = m_core->Get_Deviceuuid().toUtf8();

    QProcess own;
    own.start(curl, arguments);
    QVERIFY(own.waitForFinished());
    QCOMPARE(own.exitCode(), 0);
    QVERIFY(own.readAllStandardOutput().contains(deviceId));

    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^TesselHttpd closed a connection from port \\d+, "
                                                           "which is not this user's$")));
    QProcess other;
    other.start(OtherUser::launcher(), OtherUser::launcherArguments(curl, arguments));
    QVERIFY(other.waitForFinished());
    QVERIFY2(other.exitCode() != 0, "the other user's request was answered");
    QVERIFY(!other.readAllStandardOutput().contains(deviceId));

    QCOMPARE(get("/status").status, 200);
}

void TestHttpd::anotherUsersClosedConnectionsAreNotTaken()
{
    const QString unavailable = OtherUser::unavailableReason();
    if (!unavailable.isEmpty()) {
        QSKIP(qPrintable(unavailable));
    }
    const CategoryLog log("tessel.httpd");
    const int requests = 40;
    // Sent and closed at once: the kernel lists a closed socket as root's, whoever owned it.
    const QString burst = QStringLiteral("for i in $(seq %2); do exec 3<>/dev/tcp/127.0.0.1/%1; printf 'GET "
                                         "/foreign HTTP/1.1\\r\\nHost: 127.0.0.1:%1\\r\\n\\r\\n' >&3; "
                                         "exec 3>&-; done")
                              .arg(m_port)
                              .arg(requests);
    QProcess other;
    other.start(OtherUser::launcher(), OtherUser::launcherArguments(QStringLiteral("/bin/bash"), {"-c", burst}));
    QVERIFY(other.waitForFinished());
    // Served after theirs: once it is logged, every one of theirs was dealt with.
    QCOMPARE(get("/own").status, 404);
    QTRY_VERIFY(!log.linesWith(QStringLiteral("\"/own\"")).isEmpty());
    QCOMPARE(log.linesWith(QStringLiteral("\"/foreign\"")).size(), 0);
}

void TestHttpd::hostMustNameThisService_data()
{
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<int>("status");

    const QByteArray port = QByteArray::number(m_port);
    const QByteArray otherPort = QByteArray::number(m_port + 1);
    const QByteArray getStatus = "GET /status HTTP/1.1";
    QTest::newRow("127.0.0.1 and port") << getStatus << "127.0.0.1:" + port << 200;
    QTest::newRow("localhost and port") << getStatus << "localhost:" + port << 200;
    QTest::newRow("LOCALHOST and port") << getStatus << "LOCALHOST:" + port << 200;
    QTest::newRow("foreign name") << getStatus << QByteArray("evil.com") << 403;
    QTest::newRow("foreign name and port") << getStatus << "evil.com:" + port << 403;
    QTest::newRow("no port") << getStatus << QByteArray("127.0.0.1") << 403;
    QTest::newRow("other port") << getStatus << "127.0.0.1:" + otherPort << 403;
    QTest::newRow("missing") << getStatus << QByteArray() << 403;
    // The host is checked before anything else is looked at.
    QTest::newRow("foreign name, unknown path") << QByteArray("GET /nope HTTP/1.1") << "evil.com:" + port << 403;
    QTest::newRow("foreign name, wrong method") << QByteArray("POST /status HTTP/1.1") << "evil.com:" + port << 403;
    QTest::newRow("foreign name, preflight") << QByteArray("OPTIONS /language HTTP/1.1") << "evil.com:" + port << 403;
    QTest::newRow("foreign name, browser active")
        << QByteArray("POST /browser-active HTTP/1.1") << "evil.com:" + port << 403;
}

void TestHttpd::hostMustNameThisService()
{
    QFETCH(QByteArray, requestLine);
    QFETCH(QByteArray, host);
    QFETCH(int, status);

    const QByteArray hostField = host.isNull() ? QByteArray() : "Host: " + host + "\r\n";
    const int callsBefore = browserActiveCalls;
    const Reply reply = exchange(m_port, requestLine + "\r\n" + hostField + deviceIdLine() + "\r\n");
    QCOMPARE(reply.status, status);
    QCOMPARE(browserActiveCalls.load(), callsBefore);
}

void TestHttpd::browserActiveRunsCallbackOnServerThread()
{
    QThread* receivedOn = nullptr;
    QObject receiver;
    connect(relay(), &BrowserActiveRelay::browserActive, &receiver, [&] { receivedOn = QThread::currentThread(); });
    browserActiveThread = nullptr;
    const int callsBefore = browserActiveCalls;

    const Reply reply = post("/browser-active", deviceIdLine() + "Origin: " + PortalOrigin + "\r\n", {});
    QCOMPARE(reply.status, 204);
    QCOMPARE(reply.header("access-control-allow-origin"), PortalOrigin);
    QCOMPARE(browserActiveCalls.load(), callsBefore + 1);
    QVERIFY(browserActiveThread.load() != nullptr);
    QVERIFY(browserActiveThread.load() != QThread::currentThread());
    QTRY_COMPARE(receivedOn, QThread::currentThread());
}

void TestHttpd::browserActiveRequiresDeviceId_data()
{
    QTest::addColumn<QByteArray>("deviceIdField");

    const QByteArray deviceId = m_core->Get_Deviceuuid().toUtf8();
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("empty") << QByteArray("X-Device-Id:\r\n");
    QTest::newRow("other id") << QByteArray("X-Device-Id: 00000000-0000-0000-0000-000000000000\r\n");
    QTest::newRow("truncated") << "X-Device-Id: " + deviceId.chopped(1) + "\r\n";
    QTest::newRow("with suffix") << "X-Device-Id: " + deviceId + "0\r\n";
}

void TestHttpd::browserActiveRequiresDeviceId()
{
    QFETCH(QByteArray, deviceIdField);

    const int callsBefore = browserActiveCalls;
    QCOMPARE(post("/browser-active", deviceIdField, {}).status, 403);
    QCOMPARE(browserActiveCalls.load(), callsBefore);
}

void TestHttpd::languageChangeReachesMainThread_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("language");

    QTest::newRow("0") << QByteArray("0") << 0;
    QTest::newRow("1") << QByteArray("1") << 1;
    QTest::newRow("1 with whitespace") << QByteArray(" \t1\r\n") << 1;
}

void TestHttpd::languageChangeReachesMainThread()
{
    QFETCH(QByteArray, body);
    QFETCH(int, language);

    std::atomic<QThread*> emittedOn {nullptr};
    QThread* receivedOn = nullptr;
    int received = -1;
    QObject receiver;
    connect(
        m_core.get(),
        &TesselCore::sig_languageChanged,
        &receiver,
        [&](int) { emittedOn = QThread::currentThread(); },
        Qt::DirectConnection);
    connect(m_core.get(), &TesselCore::sig_languageChanged, &receiver, [&](int value) {
        receivedOn = QThread::currentThread();
        received = value;
    });

    QCOMPARE(post("/language", deviceIdLine(), body).status, 204);
    QVERIFY(emittedOn.load() != nullptr);
    QVERIFY(emittedOn.load() != QThread::currentThread());
    QTRY_COMPARE(received, language);
    QCOMPARE(receivedOn, QThread::currentThread());
}

void TestHttpd::languageRejectsBadRequests_data()
{
    QTest::addColumn<bool>("withDeviceId");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    QTest::newRow("2") << true << QByteArray("2") << 400;
    QTest::newRow("empty") << true << QByteArray() << 400;
    QTest::newRow("abc") << true << QByteArray("abc") << 400;
    QTest::newRow("01x") << true << QByteArray("01x") << 400;
    QTest::newRow("both digits") << true << QByteArray("0 1") << 400;
    QTest::newRow("no device id") << false << QByteArray("1") << 403;
}

void TestHttpd::languageRejectsBadRequests()
{
    QFETCH(bool, withDeviceId);
    QFETCH(QByteArray, body);
    QFETCH(int, status);

    std::atomic<int> emitted {0};
    QObject receiver;
    connect(
        m_core.get(), &TesselCore::sig_languageChanged, &receiver, [&](int) { ++emitted; }, Qt::DirectConnection);

    QCOMPARE(post("/language", withDeviceId ? deviceIdLine() : QByteArray(), body).status, status);
    QCOMPARE(emitted.load(), 0);
}

void TestHttpd::preflightAllowsCrossOriginCalls_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("allowedOrigin");

    QTest::newRow("/status") << QByteArray("/status") << PortalOrigin << PortalOrigin;
    QTest::newRow("/browser-active") << QByteArray("/browser-active") << PortalOrigin << PortalOrigin;
    QTest::newRow("/language") << QByteArray("/language") << PortalOrigin << PortalOrigin;
    QTest::newRow("/language without origin") << QByteArray("/language") << QByteArray() << QByteArray("*");
}

void TestHttpd::preflightAllowsCrossOriginCalls()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, allowedOrigin);

    const QByteArray originField = origin.isNull() ? QByteArray() : "Origin: " + origin + "\r\n";
    const Reply reply = exchange(m_port,
                                 "OPTIONS " + target + " HTTP/1.1\r\n" + hostLine(m_port) + originField
                                     + "Access-Control-Request-Method: POST\r\n"
                                       "Access-Control-Request-Headers: x-device-id\r\n"
                                       "Access-Control-Request-Private-Network: true\r\n\r\n");
    QCOMPARE(reply.status, 204);
    QCOMPARE(reply.header("access-control-allow-origin"), allowedOrigin);
    QCOMPARE(reply.header("access-control-allow-methods"), QByteArray("GET, POST, OPTIONS"));
    QCOMPARE(reply.header("access-control-allow-headers"), QByteArray("X-Device-Id, Content-Type"));
    QCOMPARE(reply.header("access-control-allow-private-network"), QByteArray("true"));
    QCOMPARE(reply.header("access-control-max-age"), QByteArray("600"));
    QCOMPARE(reply.header("vary"), QByteArray("Origin"));
    QVERIFY(reply.body.isEmpty());
}

void TestHttpd::unknownPathIsNotFound_data()
{
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("/nope") << QByteArray("/nope");
    QTest::newRow("/") << QByteArray("/");
    QTest::newRow("/status/") << QByteArray("/status/");
    QTest::newRow("/STATUS") << QByteArray("/STATUS");
}

void TestHttpd::unknownPathIsNotFound()
{
    QFETCH(QByteArray, target);

    // One line per rejected request, naming method, path and status.
    QTest::ignoreMessage(
        QtDebugMsg,
        qPrintable(QStringLiteral("TesselHttpd rejected \"GET\" \"%1\" 404").arg(QString::fromLatin1(target))));
    const Reply reply = get(target);
    QCOMPARE(reply.status, 404);
    QCOMPARE(reply.header("content-type"), QByteArray("text/plain; charset=utf-8"));
    QVERIFY(!reply.body.isEmpty());
}

void TestHttpd::wrongMethodIsNotAllowed_data()
{
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QByteArray>("allow");

    QTest::newRow("POST /status") << QByteArray("POST /status HTTP/1.1") << QByteArray("GET, OPTIONS");
    QTest::newRow("HEAD /status") << QByteArray("HEAD /status HTTP/1.1") << QByteArray("GET, OPTIONS");
    QTest::newRow("GET /language") << QByteArray("GET /language HTTP/1.1") << QByteArray("POST, OPTIONS");
    QTest::newRow("DELETE /browser-active")
        << QByteArray("DELETE /browser-active HTTP/1.1") << QByteArray("POST, OPTIONS");
}

void TestHttpd::wrongMethodIsNotAllowed()
{
    QFETCH(QByteArray, requestLine);
    QFETCH(QByteArray, allow);

    const Reply reply = exchange(m_port, requestLine + "\r\n" + hostLine(m_port) + deviceIdLine() + "\r\n");
    QCOMPARE(reply.status, 405);
    QCOMPARE(reply.header("allow"), allow);
}

void TestHttpd::headIsLimited_data()
{
    QTest::addColumn<int>("headBytes");
    QTest::addColumn<int>("status");

    QTest::newRow("at the limit") << HttpRequestParser::MaxHeadBytes << 200;
    QTest::newRow("one byte over") << HttpRequestParser::MaxHeadBytes + 1 << 431;
    QTest::newRow("far over") << 4 * HttpRequestParser::MaxHeadBytes << 431;
}

void TestHttpd::headIsLimited()
{
    QFETCH(int, headBytes);
    QFETCH(int, status);

    const QByteArray start = "GET /status HTTP/1.1\r\n" + hostLine(m_port) + "X-Filler: ";
    const QByteArray end = "\r\n\r\n";
    const QByteArray head = start + QByteArray(headBytes - start.size() - end.size(), 'a') + end;
    QCOMPARE(head.size(), headBytes);
    QCOMPARE(exchange(m_port, head).status, status);
}

void TestHttpd::bodyIsLimited_data()
{
    QTest::addColumn<int>("contentLength");
    QTest::addColumn<int>("status");

    QTest::newRow("at the limit") << HttpRequestParser::MaxBodyBytes << 204;
    QTest::newRow("one byte over") << HttpRequestParser::MaxBodyBytes + 1 << 413;
    QTest::newRow("twice the limit") << HttpRequestParser::MaxBodyBytes * 2 << 413;
    QTest::newRow("beyond 64 bits") << -1 << 413;
}

void TestHttpd::bodyIsLimited()
{
    QFETCH(int, contentLength);
    QFETCH(int, status);

    const QByteArray lengthText = contentLength < 0 ? QByteArray(30, '9') : QByteArray::number(contentLength);
    // Only a body the service accepts is sent: it must answer the others without waiting for theirs.
    const QByteArray body = status == 204 ? QByteArray(contentLength - 1, ' ') + '1' : QByteArray();
    const Reply reply = exchange(m_port,
                                 "POST /language HTTP/1.1\r\n" + hostLine(m_port) + deviceIdLine()
                                     + "Content-Length: " + lengthText + "\r\n\r\n" + body);
    QCOMPARE(reply.status, status);
}

void TestHttpd::stalledRequestTimesOut()
{
    const auto socket = connectTo(m_port);
    QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
    QElapsedTimer clock;
    clock.start();
    socket->write("GET /status HTTP/1.1\r\n" + hostLine(m_port));

    const Reply reply = readReply(*socket, 3 * ReplyTimeoutMs);
    QCOMPARE(reply.status, 408);
    QVERIFY2(clock.elapsed() >= 4500, "answered before the deadline");
}

void TestHttpd::connectionsAreLimited()
{
    // The service accepts in arrival order, so these are the ones it counts.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 16; ++i) {
        idle.push_back(connectTo(m_port));
        QCOMPARE(idle.back()->state(), QAbstractSocket::ConnectedState);
    }
    // A 17th connection makes room by dropping the oldest idle one, so stalled peers
    // cannot lock out the portal, and still no more than 16 are open.
    QCOMPARE(get("/status").status, 200);
    QTRY_COMPARE(idle.front()->state(), QAbstractSocket::UnconnectedState);
    for (size_t i = 1; i < idle.size(); ++i) {
        QCOMPARE(idle[i]->state(), QAbstractSocket::ConnectedState);
    }
    idle.push_back(connectTo(m_port));
    QCOMPARE(get("/status").status, 200);
    QTRY_COMPARE(idle[1]->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(idle[2]->state(), QAbstractSocket::ConnectedState);
}

void TestHttpd::malformedRequestIsRejected_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    const QByteArray host = hostLine(m_port);
    const QByteArray getStatus = "GET /status HTTP/1.1\r\n";
    const auto withField = [&](const QByteArray& field) {
        return getStatus + host + field + "\r\n";
    };

    QTest::newRow("no version") << "GET /status\r\n" + host + "\r\n" << 400;
    QTest::newRow("two spaces") << "GET  /status HTTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("trailing space") << "GET /status HTTP/1.1 \r\n" + host + "\r\n" << 400;
    QTest::newRow("HTTP/2.0") << "GET /status HTTP/2.0\r\n" + host + "\r\n" << 400;
    QTest::newRow("HTTP/0.9") << "GET /status HTTP/0.9\r\n" + host + "\r\n" << 400;
    QTest::newRow("not HTTP") << "GET /status FTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("method not a token") << "G(T /status HTTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("absolute-form") << "GET http://127.0.0.1/status HTTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("asterisk-form") << "OPTIONS * HTTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("empty line first") << "\r\n" + getStatus + host + "\r\n" << 400;
    QTest::newRow("field without colon") << withField("NoColon\r\n") << 400;
    QTest::newRow("empty field name") << withField(": value\r\n") << 400;
    QTest::newRow("space before colon") << withField("X-Test : value\r\n") << 400;
    QTest::newRow("obs-fold") << withField("X-Test: value\r\n continued\r\n") << 400;
    QTest::newRow("duplicate Content-Length") << withField("Content-Length: 1\r\nContent-Length: 1\r\n") + "1" << 400;
    QTest::newRow("non-numeric Content-Length") << withField("Content-Length: abc\r\n") << 400;
    QTest::newRow("negative Content-Length") << withField("Content-Length: -1\r\n") << 400;
    QTest::newRow("signed Content-Length") << withField("Content-Length: +1\r\n") + "1" << 400;
    QTest::newRow("empty Content-Length") << withField("Content-Length:\r\n") << 400;
    QTest::newRow("duplicate Host") << withField(host) << 400;
    QTest::newRow("NUL in request line") << QByteArrayLiteral("GET /sta\0tus HTTP/1.1\r\n") + host + "\r\n" << 400;
    QTest::newRow("NUL in field") << withField(QByteArrayLiteral("X-Test: a\0b\r\n")) << 400;
    QTest::newRow("bare CR in field") << withField("X-Test: a\rb\r\n") << 400;
    QTest::newRow("bare CR in request line") << "GET /status\rHTTP/1.1\r\n" + host + "\r\n" << 400;
    QTest::newRow("bare LF line ends") << "GET /status HTTP/1.1\nHost: 127.0.0.1:" + QByteArray::number(m_port) + "\n\n"
                                       << 400;
    QTest::newRow("chunked") << withField("Transfer-Encoding: chunked\r\n") + "1\r\n1\r\n0\r\n\r\n" << 501;
}

void TestHttpd::malformedRequestIsRejected()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);

    QCOMPARE(exchange(m_port, request).status, status);
}

void TestHttpd::serviceSurvivesBadInput()
{
    const Reply reply = get("/status");
    QCOMPARE(reply.status, 200);
    QCOMPARE(QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("deviceId")).toString(),
             m_core->Get_Deviceuuid());
}

void TestHttpd::parserReadsRequestByteByByte()
{
    const QByteArray raw = "POST /language?from=portal HTTP/1.1\r\nHost: localhost:1\r\n"
                           "x-device-ID: \t abc \r\nAccept: a\r\naccept: b\r\nContent-Length: 3\r\n\r\n 1 ";
    HttpRequestParser parser;
    for (int i = 0; i < raw.size() - 1; ++i) {
        QCOMPARE(parser.feed(raw.mid(i, 1)), HttpRequestParser::Result::NeedMore);
    }
    QCOMPARE(parser.feed(raw.right(1)), HttpRequestParser::Result::Complete);

    const HttpRequest& request = parser.request();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path(), QByteArray("/language"));
    QCOMPARE(request.header("host"), QByteArray("localhost:1"));
    QCOMPARE(request.header("x-device-id"), QByteArray("abc"));
    QCOMPARE(request.header("accept"), QByteArray("a, b"));
    QCOMPARE(request.body, QByteArray(" 1 "));
}

void TestHttpd::streamingParserLeavesLargeBodyToCaller()
{
    const QByteArray head = "PATCH /files/a HTTP/1.1\r\nHost: h\r\nContent-Length: 1099511627776\r\n\r\n";
    HttpRequestParser buffered;
    QCOMPARE(buffered.feed(head + "abc"), HttpRequestParser::Result::Error);
    QCOMPARE(buffered.errorStatus(), HttpStatus::ContentTooLarge);

    HttpRequestParser streamed(HttpRequestParser::Body::Streamed);
    QCOMPARE(streamed.feed(head + "abc"), HttpRequestParser::Result::Complete);
    QCOMPARE(streamed.request().method, QByteArray("PATCH"));
    QCOMPARE(streamed.bodyLength(), Q_INT64_C(1099511627776));
    QCOMPARE(streamed.takeBodyStart(), QByteArray("abc"));
    QVERIFY(streamed.request().body.isEmpty());
}

void TestHttpd::parserStaysWithinLimitsOnNoise()
{
    // Past these, a request is either whole or refused; the parser must never wait for more.
    const int mostBytesToRead = HttpRequestParser::MaxHeadBytes + HttpRequestParser::MaxBodyBytes;
    const QList<QByteArray> prefixes = {"", "GET /status HTTP/1.1\r\n", "POST / HTTP/1.1\r\nContent-Length: 9\r\n"};
    const QList<int> errorStatuses = {400, 413, 431, 501};
    QRandomGenerator random(20240611);
    for (int round = 0; round < 300; ++round) {
        HttpRequestParser parser;
        QByteArray noise = prefixes.at(round % prefixes.size());
        const int noiseBytes = random.bounded(2 * mostBytesToRead);
        while (noise.size() < noiseBytes) {
            // Mostly line ends and field syntax, so the noise gets past the first line now and then.
            const char pick = "\r\n: \0"[random.bounded(5)];
            noise += random.bounded(4) == 0 ? pick : static_cast<char>(random.bounded(256));
        }
        for (int offset = 0; offset < noise.size(); offset += 1 + random.bounded(64)) {
            parser.feed(noise.mid(offset, 64));
        }
        if (noise.size() > mostBytesToRead) {
            QVERIFY(parser.result() != HttpRequestParser::Result::NeedMore);
        }
        if (parser.result() == HttpRequestParser::Result::Error) {
            QVERIFY(errorStatuses.contains(static_cast<int>(parser.errorStatus())));
        }
    }
}

void TestHttpd::startFailsWhenPortIsTaken()
{
    QTcpServer blocker;
    QVERIFY(blocker.listen(QHostAddress::LocalHost, 0));
    qputenv(PortVariable, QByteArray::number(blocker.serverPort()));

    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(
            QStringLiteral("^TesselHttpd cannot listen on 127\\.0\\.0\\.1:%1").arg(blocker.serverPort())));
    TesselHttpd httpd(m_core.get(), m_portal.get());
    QVERIFY(httpd.StartHttpdServer(StartTimeoutMs) != 0);
    QCOMPARE(httpd.port(), quint16(0));
}

void TestHttpd::invalidPortVariableFallsBackToDefault_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("word") << QByteArray("abc");
    QTest::newRow("too large") << QByteArray("65536");
    QTest::newRow("negative") << QByteArray("-1");
    QTest::newRow("trailing garbage") << QByteArray("80x");
    QTest::newRow("leading space") << QByteArray(" 80");
}

void TestHttpd::invalidPortVariableFallsBackToDefault()
{
    QFETCH(QByteArray, value);

    // Hold the default port, so the server's attempt shows in its warning and never
    // collides with a client running on this machine.
    QTcpServer blocker;
    if (!blocker.listen(QHostAddress::LocalHost, TesselHttpd::DefaultPort)) {
        QSKIP("another program uses the default port");
    }
    qputenv(PortVariable, value);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^TesselHttpd: ignoring")));
    QTest::ignoreMessage(
        QtWarningMsg,
        QRegularExpression(
            QStringLiteral("^TesselHttpd cannot listen on 127\\.0\\.0\\.1:%1:").arg(TesselHttpd::DefaultPort)));
    TesselHttpd httpd(m_core.get(), m_portal.get());
    QVERIFY(httpd.StartHttpdServer(StartTimeoutMs) != 0);
}

void TestHttpd::startsOnConfiguredPortAndSaysSo()
{
    const quint16 port = freePort();
    QVERIFY(port != 0);
    qputenv(PortVariable, QByteArray::number(port));

    QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("TesselHttpd listening on 127.0.0.1:%1").arg(port)));
    TesselHttpd httpd(m_core.get(), m_portal.get());
    QCOMPARE(httpd.StartHttpdServer(StartTimeoutMs), 0);
    QCOMPARE(httpd.port(), port);
    QCOMPARE(exchange(port, getRequest(port, "/status")).status, 200);
}

void TestHttpd::restartsAndStopsRepeatedly()
{
    TesselHttpd httpd(m_core.get(), m_portal.get());
    httpd.StopHttpdServer();
    QCOMPARE(httpd.StartHttpdServer(StartTimeoutMs), 0);
    const quint16 firstPort = httpd.port();
    QVERIFY(firstPort != 0);
    QCOMPARE(httpd.StartHttpdServer(StartTimeoutMs), 0);
    QCOMPARE(httpd.port(), firstPort);
    QCOMPARE(exchange(firstPort, getRequest(firstPort, "/status")).status, 200);

    const auto open = connectTo(firstPort);
    QCOMPARE(open->state(), QAbstractSocket::ConnectedState);
    httpd.StopHttpdServer();
    QCOMPARE(httpd.port(), quint16(0));
    QVERIFY(open->state() == QAbstractSocket::UnconnectedState || open->waitForDisconnected(ReplyTimeoutMs));
    QCOMPARE(connectTo(firstPort)->state(), QAbstractSocket::UnconnectedState);
    httpd.StopHttpdServer();

    QCOMPARE(httpd.StartHttpdServer(StartTimeoutMs), 0);
    const quint16 secondPort = httpd.port();
    QVERIFY(secondPort != 0);
    QCOMPARE(exchange(secondPort, getRequest(secondPort, "/status")).status, 200);
}

NORV_TEST_MAIN(TestHttpd)

#include "tst_httpd.moc"
