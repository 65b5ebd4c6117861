// The local service under a burst of malformed and oversized requests and of connections
// that stall, and while a thousand files move: a well-behaved client keeps getting /status
// within 1 s, and the service never holds more connections than its limit.
#include "common/NodePeer.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "core/httpd/HttpRequestParser.h"
#include "core/httpd/HttpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {
const int StartTimeoutMs = 5000;
const int BadRequests = 10000;
const int StalledConnections = 100;
const int BatchSize = 100;
// The point of the test: the portal's status poll is answered this fast whatever else arrives.
const int StatusDeadlineMs = 1000;
const int BatchTimeoutMs = 10000;
const int SettleTimeoutMs = 30000;
const int PollMs = 5;
const int QueuedFiles = 1000;
const int FileBytes = 4096;
const int EventStreams = 8;
const int TransferTimeoutMs = 240000;

using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

QByteArray hostLine(quint16 port)
{
    return "Host: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
}

// Requests the service must reject, each a different way.
QByteArray badRequest(quint16 port, int index)
{
    switch (index % 6) {
    case 0:
        return "\x01\x02garbage\r\n\r\n";
    case 1:
        return "GET /status HTTP/1.1\r\nHost: evil.example\r\n\r\n";
    case 2:
        return "GET /status HTTP/1.1\r\n" + hostLine(port)
            + "X-Pad: " + QByteArray(HttpRequestParser::MaxHeadBytes, 'a') + "\r\n\r\n";
    case 3:
        return "POST /browser-active HTTP/1.1\r\n" + hostLine(port)
            + "Content-Length: " + QByteArray::number(HttpRequestParser::MaxBodyBytes * 4) + "\r\n\r\n"
            + QByteArray(HttpRequestParser::MaxBodyBytes * 4, 'b');
    case 4:
        return "GET /status HTTP/1.1\r\n" + hostLine(port) + "Content-Length: -5\r\n\r\n";
    default:
        return "GET " + QByteArray(HttpRequestParser::MaxHeadBytes * 2, '/') + " HTTP/1.1\r\n\r\n";
    }
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// Drives the sockets' events until every one is closed by the service or time runs out.
bool waitUntilAllClosed(Sockets& sockets, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        bool open = false;
        for (auto& socket : sockets) {
            socket->waitForReadyRead(0);
            socket->readAll();
            open = open || socket->state() != QAbstractSocket::UnconnectedState;
        }
        if (!open) {
            return true;
        }
        QTest::qWait(PollMs);
    }
    return false;
}
} // namespace

class TestHttpdBurst : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    // First, while the socket table holds none of the burst's ten thousand closed connections.
    void statusStaysAnsweredWhileAThousandFilesMove();
    void statusStaysAnsweredDuringBurst();

private:
    // Status code and time of one GET /status; 0 when no answer came in time.
    int probeStatus(qint64* elapsedMs) const;
    void sendBatch(int first);
    int stillHeld(Sockets& sockets) const;
    // Sockets that have sent the request head given, with the device id and the page's origin.
    std::unique_ptr<QTcpSocket> pageRequest(const QByteArray& head, const QByteArray& origin, const QByteArray& body);

    std::unique_ptr<TesselCore> m_core;
    std::unique_ptr<TesselPortal> m_portal;
    std::unique_ptr<TesselHttpd> m_httpd;
    quint16 m_port = 0;
};

void TestHttpdBurst::initTestCase()
{
    // Ten thousand rejections would each be logged.
    QLoggingCategory::setFilterRules(QStringLiteral("tessel.httpd.debug=false"));
    m_core = std::make_unique<TesselCore>(QStringLiteral("tst_httpdburst"), 0);
    m_portal = std::make_unique<TesselPortal>(m_core.get());
    qputenv("NORV_HTTPD_PORT", "0");
    m_httpd = std::make_unique<TesselHttpd>(m_core.get(), m_portal.get());
    QCOMPARE(m_httpd->StartHttpdServer(StartTimeoutMs), 0);
    m_port = m_httpd->port();
}

void TestHttpdBurst::cleanupTestCase()
{
    m_httpd.reset();
}

int TestHttpdBurst::probeStatus(qint64* elapsedMs) const
{
    // A connection can be dropped to make room while attackers keep connecting; like a
    // browser, the client tries again. What counts is an answer within the deadline.
    QElapsedTimer clock;
    clock.start();
    int status = 0;
    while (status != 200 && clock.elapsed() < StatusDeadlineMs) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        socket.write("GET /status HTTP/1.1\r\n" + hostLine(m_port) + "\r\n");
        QByteArray reply;
        while (socket.state() != QAbstractSocket::UnconnectedState && clock.elapsed() < StatusDeadlineMs) {
            socket.waitForReadyRead(PollMs);
            reply += socket.readAll();
        }
        reply += socket.readAll();
        const bool answered = socket.state() == QAbstractSocket::UnconnectedState && reply.startsWith("HTTP/1.1 ");
        status = answered ? reply.mid(9, 3).toInt() : 0;
    }
    *elapsedMs = clock.elapsed();
    return status;
}

void TestHttpdBurst::sendBatch(int first)
{
    Sockets batch;
    for (int index = first; index < first + BatchSize; ++index) {
        batch.push_back(connectTo(m_port));
        batch.back()->write(badRequest(m_port, index));
    }
    QVERIFY(waitUntilAllClosed(batch, BatchTimeoutMs));
}

// Connections the service still keeps open: those it has neither answered nor refused.
int TestHttpdBurst::stillHeld(Sockets& sockets) const
{
    int held = 0;
    for (auto& socket : sockets) {
        socket->waitForReadyRead(0);
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesAvailable() == 0) {
            ++held;
        }
    }
    return held;
}

void TestHttpdBurst::statusStaysAnsweredDuringBurst()
{
    Sockets stalled;
    for (int i = 0; i < StalledConnections; ++i) {
        stalled.push_back(connectTo(m_port));
        stalled.back()->write("G");
    }
    QTRY_VERIFY2_WITH_TIMEOUT(stillHeld(stalled) <= HttpServer::MaxConnections,
                              qPrintable(QString::number(stillHeld(stalled))),
                              SettleTimeoutMs);

    qint64 slowest = 0;
    for (int first = 0; first < BadRequests; first += BatchSize) {
        sendBatch(first);
        qint64 elapsed = 0;
        const int status = probeStatus(&elapsed);
        QVERIFY2(status == 200,
                 qPrintable(
                     QStringLiteral("after %1 bad requests: status %2 in %3 ms").arg(first).arg(status).arg(elapsed)));
        QVERIFY2(elapsed < StatusDeadlineMs, qPrintable(QString::number(elapsed)));
        slowest = qMax(slowest, elapsed);
        QVERIFY(stillHeld(stalled) <= HttpServer::MaxConnections);
    }
    qInfo() << "slowest /status during the burst:" << slowest << "ms";
}

std::unique_ptr<QTcpSocket>
TestHttpdBurst::pageRequest(const QByteArray& head, const QByteArray& origin, const QByteArray& body)
{
    auto socket = connectTo(m_port);
    socket->write(head + " HTTP/1.1\r\n" + hostLine(m_port) + "Origin: " + origin
                  + "\r\nX-Device-Id: " + m_core->Get_Deviceuuid().toLatin1()
                  + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    return socket;
}

void TestHttpdBurst::statusStaysAnsweredWhileAThousandFilesMove()
{
    QTemporaryDir work;
    const QString store = work.filePath(QStringLiteral("store"));
    NodePeer tus;
    QVERIFY2(tus.startTusServer(store), "the tus server did not start");
    const QString folder = work.filePath(QStringLiteral("thousand"));
    for (int i = 0; i < QueuedFiles; ++i) {
        QVERIFY(TestData::writeRandomFile(folder + QStringLiteral("/f%1.bin").arg(i), FileBytes, quint32(i)));
    }
    // Dropped on the portal loaded from the tus server's origin.
    m_portal->setPortalOrigins({}, QUrl(tus.origin()));
    m_portal->grantDroppedPath(folder);
    const QByteArray origin = tus.origin().toLatin1();

    // One request queues them all, as a dropped folder does.
    const QJsonObject upload {{QStringLiteral("path"), folder},
                              {QStringLiteral("endpoint"), tus.origin() + QStringLiteral("/files/")}};
    auto created = pageRequest(
        "POST /transfers", origin, "{\"upload\": " + QJsonDocument(upload).toJson(QJsonDocument::Compact) + '}');
    QVERIFY(created->waitForReadyRead(StartTimeoutMs));
    QVERIFY2(created->readAll().startsWith("HTTP/1.1 201"), "the folder was not queued");
    Sockets streams;
    for (int i = 0; i < EventStreams; ++i) {
        streams.push_back(pageRequest("GET /transfers/events", origin, {}));
        QVERIFY(streams.back()->waitForReadyRead(StartTimeoutMs));
    }
    // Half of them send nothing, half stop inside the request head. The service ends each one
    // at its request deadline or to make room; it is opened again, so 16 stall throughout.
    const auto stall = [this](size_t index) {
        auto socket = connectTo(m_port);
        socket->write(index % 2 ? QByteArray("GET /status HTTP/1.1\r\nHo") : QByteArray());
        return socket;
    };
    Sockets stalled;
    for (int i = 0; i < HttpServer::MaxConnections; ++i) {
        stalled.push_back(stall(stalled.size()));
    }

    const auto arrived = [&] {
        return QDir(store).entryList({QStringLiteral("*.json")}).size();
    };
    QElapsedTimer clock;
    clock.start();
    qint64 slowest = 0;
    int probes = 0;
    while (arrived() < QueuedFiles && clock.elapsed() < TransferTimeoutMs) {
        qint64 elapsed = 0;
        QCOMPARE(probeStatus(&elapsed), 200);
        QVERIFY2(elapsed < StatusDeadlineMs, qPrintable(QString::number(elapsed)));
        slowest = qMax(slowest, elapsed);
        ++probes;
        for (auto& stream : streams) {
            stream->waitForReadyRead(0);
        }
        for (size_t i = 0; i < stalled.size(); ++i) {
            stalled[i]->waitForReadyRead(0);
            if (stalled[i]->state() == QAbstractSocket::UnconnectedState) {
                stalled[i] = stall(i);
            }
        }
    }
    QCOMPARE(arrived(), QueuedFiles);
    for (auto& stream : streams) {
        QCOMPARE(stream->state(), QAbstractSocket::ConnectedState);
    }
    qInfo() << "slowest /status of" << probes << "while" << QueuedFiles << "files moved:" << slowest << "ms";
}

NORV_TEST_MAIN(TestHttpdBurst)
#include "tst_httpdburst.moc"
