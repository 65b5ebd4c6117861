#include "common/NodePeer.h"
#include "common/RawHttp.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {
using TestData::sha256Of;
const int ReplyTimeoutMs = 30000;
const int TransferTimeoutMs = 120000;
const QByteArray OtherOrigin = QByteArrayLiteral("https://elsewhere.example");
// A saved server of the user's other than the one the transfers go to.
const QByteArray SecondPortal = QByteArrayLiteral("https://second.example:8443");

struct Reply
{
    int status = -1;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// One Server-Sent Events stream, read as it arrives.
class EventStream
{
public:
    bool open(quint16 port, const QByteArray& target, const QByteArray& origin)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (!m_socket.waitForConnected(ReplyTimeoutMs)) {
            return false;
        }
        m_socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                       + "\r\nOrigin: " + origin + "\r\n\r\n");
        return true;
    }
    // Waits for an event of that name whose data satisfies accept.
    bool waitFor(const QByteArray& name, const std::function<bool(const QJsonObject&)>& accept)
    {
        return QTest::qWaitFor(
            [&] {
                head();
                m_events += m_socket.readAll();
                for (int end; (end = m_events.indexOf("\n\n")) >= 0;) {
                    const QByteArray block = m_events.left(end);
                    m_events.remove(0, end + 2);
                    if (block.startsWith("event: " + name + '\n')
                        && accept(QJsonDocument::fromJson(block.mid(block.indexOf("data: ") + 6)).object())) {
                        return true;
                    }
                }
                return false;
            },
            TransferTimeoutMs);
    }
    // The answer's status line and fields; what follows them are the events.
    QByteArray head()
    {
        QTest::qWaitFor(
            [&] {
                if (m_head.isEmpty()) {
                    m_events += m_socket.readAll();
                    const int end = m_events.indexOf("\r\n\r\n");
                    m_head = end < 0 ? QByteArray() : m_events.left(end);
                    m_events.remove(0, end < 0 ? 0 : end + 4);
                }
                return !m_head.isEmpty();
            },
            ReplyTimeoutMs);
        return m_head;
    }
    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

private:
    QTcpSocket m_socket;
    QByteArray m_head;
    QByteArray m_events;
};
} // namespace

class TestTransferApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void refusals_data();
    void refusals();
    void uploadReportsItsEventsToThePage();
    void eventStreamsAreLimited();
    void pickedFolderIsGrantedAndCancelAnswersNoContent();
    void onlyPortalOriginsAreAnswered_data();
    void onlyPortalOriginsAreAnswered();
    void transfersAndGrantsBelongToTheirOrigin();
    void helloProvesTheDeviceId();

private:
    Reply request(const QByteArray& method,
                  const QByteArray& target,
                  const QByteArray& body = {},
                  const QByteArray& origin = {},
                  bool withDeviceId = true);
    QByteArray uploadBody(const QString& path, const QByteArray& headers = "{}", const QString& endpoint = {}) const;

    NodePeer m_tus;
    QTemporaryDir m_work;
    QString m_store;
    std::unique_ptr<TesselCore> m_core;
    std::unique_ptr<TesselPortal> m_portal;
    std::unique_ptr<TesselHttpd> m_httpd;
    QString m_granted;
    QStringList m_pickAnswer;
};

void TestTransferApi::initTestCase()
{
    m_store = m_work.filePath(QStringLiteral("store"));
    QVERIFY2(m_tus.startTusServer(m_store), "the tus server did not start");
    qputenv("NORV_HTTPD_PORT", "0");
    m_core = std::make_unique<TesselCore>(QStringLiteral("transfer-api-test"), 1);
    m_portal = std::make_unique<TesselPortal>(m_core.get());
    m_portal->setPortalOrigins(
        {QUrl(m_tus.origin() + QStringLiteral("/portal/")), QUrl(QString::fromLatin1(SecondPortal))},
        QUrl(m_tus.origin()));
    m_httpd = std::make_unique<TesselHttpd>(m_core.get(), m_portal.get());
    QCOMPARE(m_httpd->StartHttpdServer(ReplyTimeoutMs), 0);
    // Stands in for the shell, which shows the dialog and answers with what the user chose.
    connect(m_portal.get(), &TesselPortal::sig_pickRequested, this, [this](int requestId, bool) {
        m_portal->answerPick(requestId, m_pickAnswer);
    });

    m_granted = m_work.filePath(QStringLiteral("dropped.bin"));
    QFile file(m_granted);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 2000; ++i) {
        file.write(QByteArray(1000, char('a' + i % 26)));
    }
    file.close();
    m_portal->grantDroppedPath(m_granted);
}

void TestTransferApi::cleanupTestCase()
{
    m_httpd.reset();
    m_portal.reset();
}

Reply TestTransferApi::request(const QByteArray& method,
                               const QByteArray& target,
                               const QByteArray& body,
                               const QByteArray& origin,
                               bool withDeviceId)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_httpd->port());
    if (!socket.waitForConnected(ReplyTimeoutMs)) {
        return {};
    }
    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_httpd->port())
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += origin.isEmpty() ? QByteArray() : "Origin: " + origin + "\r\n";
    head += withDeviceId ? "X-Device-Id: " + m_core->Get_Deviceuuid().toLatin1() + "\r\n" : QByteArray();
    socket.write(head + "\r\n" + body);
    const QByteArray raw = RawHttp::readServingEvents(socket, ReplyTimeoutMs);
    Reply reply;
    const int headEnd = raw.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = raw.left(headEnd).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (const QByteArray& line : lines.mid(1)) {
        const int colon = line.indexOf(':');
        reply.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    reply.body = raw.mid(headEnd + 4);
    return reply;
}

QByteArray TestTransferApi::uploadBody(const QString& path, const QByteArray& headers, const QString& endpoint) const
{
    const QJsonObject upload {
        {QStringLiteral("path"), path},
        {QStringLiteral("endpoint"), endpoint.isEmpty() ? m_tus.origin() + QStringLiteral("/files/") : endpoint}};
    return "{\"upload\": " + QJsonDocument(upload).toJson(QJsonDocument::Compact) + ", \"headers\": " + headers + '}';
}

void TestTransferApi::refusals_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<bool>("withDeviceId");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");

    const QString notHandedOver = QDir::homePath() + QStringLiteral("/.bashrc");
    const QByteArray tus = QStringLiteral("http://127.0.0.1:%1").arg(m_tus.port()).toLatin1();
    QTest::newRow("path not handed over") << notHandedOver << tus << true << QByteArray("{}") << 403;
    QTest::newRow("another origin") << QString() << OtherOrigin << true << QByteArray("{}") << 403;
    QTest::newRow("missing origin") << QString() << QByteArray() << true << QByteArray("{}") << 403;
    QTest::newRow("missing device id") << QString() << tus << false << QByteArray("{}") << 403;
    QTest::newRow("protocol header") << QString() << tus << true << QByteArray("{\"Upload-Offset\": \"0\"}") << 400;
    QTest::newRow("host header") << QString() << tus << true << QByteArray("{\"Host\": \"evil\"}") << 400;
}

void TestTransferApi::refusals()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, origin);
    QFETCH(bool, withDeviceId);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);

    const Reply reply =
        request("POST", "/transfers", uploadBody(path.isEmpty() ? m_granted : path, headers), origin, withDeviceId);
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.json().value(QStringLiteral("error")).toString().isEmpty());
    QCOMPARE(request("GET", "/transfers", {}, m_tus.origin().toLatin1())
                 .json()
                 .value(QStringLiteral("transfers"))
                 .toArray()
                 .size(),
             0);
}

void TestTransferApi::uploadReportsItsEventsToThePage()
{
    const QByteArray origin = m_tus.origin().toLatin1();
    EventStream events;
    QVERIFY(events.open(m_httpd->port(), "/transfers/events?deviceId=" + m_core->Get_Deviceuuid().toLatin1(), origin));
    QVERIFY(
        events.waitFor("snapshot", [](const QJsonObject& data) { return data.contains(QStringLiteral("transfers")); }));

    const Reply created =
        request("POST", "/transfers", uploadBody(m_granted, "{\"Authorization\": \"Bearer t\"}"), origin);
    QCOMPARE(created.status, 201);
    QCOMPARE(created.headers.value("access-control-allow-origin"), origin);
    QVERIFY(created.headers.value("access-control-expose-headers").contains("Location"));
    const QString id = created.json().value(QStringLiteral("id")).toString();
    QCOMPARE(created.headers.value("location"), "/transfers/" + id.toLatin1());
    QVERIFY(events.waitFor("state", [&](const QJsonObject& data) {
        return data.value(QStringLiteral("id")).toString() == id
            && data.value(QStringLiteral("state")).toString() == QLatin1String("done");
    }));

    const QJsonArray listed =
        request("GET", "/transfers", {}, origin).json().value(QStringLiteral("transfers")).toArray();
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed.first().toObject().value(QStringLiteral("bytesDone")).toDouble(), 2000000.0);
    const QStringList stored = QDir(m_store).entryList({QStringLiteral("*.json")});
    QCOMPARE(stored.size(), 1);
    QCOMPARE(sha256Of(m_store + QLatin1Char('/') + QFileInfo(stored.first()).completeBaseName()), sha256Of(m_granted));

    QCOMPARE(request("POST", "/transfers/nope/pause", {}, origin).status, 404);
    QCOMPARE(request("DELETE", "/transfers/" + id.toLatin1(), {}, origin).status, 204);
    QVERIFY(events.waitFor("removed",
                           [&](const QJsonObject& data) { return data.value(QStringLiteral("id")).toString() == id; }));
    QVERIFY(events.isOpen());
}

void TestTransferApi::eventStreamsAreLimited()
{
    const QByteArray target = "/transfers/events?deviceId=" + m_core->Get_Deviceuuid().toLatin1();
    std::vector<std::unique_ptr<EventStream>> streams;
    for (int i = 0; i < 8; ++i) {
        streams.push_back(std::make_unique<EventStream>());
        QVERIFY(streams.back()->open(m_httpd->port(), target, m_tus.origin().toLatin1()));
        QVERIFY(streams.back()->head().startsWith("HTTP/1.1 200"));
    }
    QCOMPARE(request("GET", target, {}, m_tus.origin().toLatin1()).status, 503);
    QCOMPARE(request("GET", "/transfers/events?deviceId=wrong", {}, m_tus.origin().toLatin1(), false).status, 403);
}

void TestTransferApi::pickedFolderIsGrantedAndCancelAnswersNoContent()
{
    const QString folder = m_work.filePath(QStringLiteral("picked"));
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/inside.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("twelve bytes") == 12);
    file.close();
    const QByteArray origin = m_tus.origin().toLatin1();
    QCOMPARE(request("POST", "/transfers", uploadBody(folder), origin).status, 403);

    m_pickAnswer = QStringList {folder};
    const Reply picked = request("POST", "/pick/folder", {}, origin);
    QCOMPARE(picked.status, 200);
    const QJsonObject item = picked.json().value(QStringLiteral("items")).toArray().first().toObject();
    QCOMPARE(item.value(QStringLiteral("path")).toString(), folder);
    QCOMPARE(item.value(QStringLiteral("size")).toInt(), 12);
    QCOMPARE(item.value(QStringLiteral("kind")).toString(), QStringLiteral("folder"));
    QCOMPARE(request("POST", "/transfers", uploadBody(folder), origin).status, 201);

    m_pickAnswer.clear();
    QCOMPARE(request("POST", "/pick/files", {}, origin).status, 204);
}

void TestTransferApi::onlyPortalOriginsAreAnswered_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<int>("status");

    const QByteArray portal = m_tus.origin().toLatin1();
    const QByteArray events = "/transfers/events?deviceId=" + m_core->Get_Deviceuuid().toLatin1();
    const QByteArray page = QByteArrayLiteral("http://127.0.0.1:29999");
    QTest::newRow("portal lists") << QByteArray("GET") << QByteArray("/transfers") << portal << 200;
    QTest::newRow("saved server lists") << QByteArray("GET") << QByteArray("/transfers") << SecondPortal << 200;
    QTest::newRow("portal preflight") << QByteArray("OPTIONS") << QByteArray("/transfers") << portal << 204;
    QTest::newRow("null lists") << QByteArray("GET") << QByteArray("/transfers") << QByteArray("null") << 403;
    QTest::newRow("missing lists") << QByteArray("GET") << QByteArray("/transfers") << QByteArray() << 403;
    QTest::newRow("other lists") << QByteArray("GET") << QByteArray("/transfers") << page << 403;
    QTest::newRow("other port") << QByteArray("GET") << QByteArray("/transfers") << portal + "0" << 403;
    QTest::newRow("other scheme") << QByteArray("GET") << QByteArray("/transfers") << "https" + portal.mid(4) << 403;
    QTest::newRow("saved host, other port")
        << QByteArray("GET") << QByteArray("/transfers") << QByteArray("https://second.example") << 403;
    QTest::newRow("other preflight") << QByteArray("OPTIONS") << QByteArray("/transfers") << page << 403;
    QTest::newRow("other picks") << QByteArray("POST") << QByteArray("/pick/files") << page << 403;
    QTest::newRow("other events") << QByteArray("GET") << events << page << 403;
    QTest::newRow("other hello") << QByteArray("POST") << QByteArray("/hello") << page << 403;
}

void TestTransferApi::onlyPortalOriginsAreAnswered()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, origin);
    QFETCH(int, status);

    m_pickAnswer.clear();
    const Reply reply = request(method, target, {}, origin);
    QCOMPARE(reply.status, status);
    // Cross-origin readers and the private network grant go to a portal's pages alone.
    const bool allowed = status < 400;
    QCOMPARE(reply.headers.value("access-control-allow-origin"), allowed ? origin : QByteArray());
    QCOMPARE(reply.headers.contains("access-control-allow-private-network"), allowed && method == "OPTIONS");
}

void TestTransferApi::transfersAndGrantsBelongToTheirOrigin()
{
    const QByteArray owner = m_tus.origin().toLatin1();
    const Reply created = request("POST", "/transfers", uploadBody(m_granted), owner);
    QCOMPARE(created.status, 201);
    const QByteArray id = created.json().value(QStringLiteral("id")).toString().toLatin1();

    // Another portal of the user's neither sees the transfer nor can touch it.
    const auto listed = [this](const QByteArray& origin) {
        return request("GET", "/transfers", {}, origin).json().value(QStringLiteral("transfers")).toArray().size();
    };
    QVERIFY(listed(owner) > 0);
    QCOMPARE(listed(SecondPortal), 0);
    for (const QByteArray& action : {"pause", "resume", "cancel"}) {
        QCOMPARE(request("POST", "/transfers/" + id + '/' + action, {}, SecondPortal).status, 404);
    }
    QCOMPARE(request("POST", "/transfers/" + id + "/cancel", {}, owner).status, 200);
    QCOMPARE(request("DELETE", "/transfers/" + id, {}, SecondPortal).status, 404);
    QCOMPARE(request("DELETE", "/transfers/" + id, {}, owner).status, 204);
    EventStream events;
    QVERIFY(events.open(
        m_httpd->port(), "/transfers/events?deviceId=" + m_core->Get_Deviceuuid().toLatin1(), SecondPortal));
    QVERIFY(events.waitFor("snapshot", [](const QJsonObject& data) {
        return data.value(QStringLiteral("transfers")).toArray().isEmpty();
    }));

    // What one origin was handed, another may not upload; what it picked is its own.
    const QString secondEndpoint = QString::fromLatin1(SecondPortal) + QStringLiteral("/files/");
    QCOMPARE(request("POST", "/transfers", uploadBody(m_granted, "{}", secondEndpoint), SecondPortal).status, 403);
    const QString picked = m_work.filePath(QStringLiteral("picked-by-second.txt"));
    QFile file(picked);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("second") == 6);
    file.close();
    m_pickAnswer = QStringList {picked};
    QCOMPARE(request("POST", "/pick/files", {}, SecondPortal).status, 200);
    QCOMPARE(request("POST", "/transfers", uploadBody(picked), owner).status, 403);
}

void TestTransferApi::helloProvesTheDeviceId()
{
    const QByteArray origin = m_tus.origin().toLatin1();
    const QByteArray nonce = QByteArrayLiteral("a nonce of the page's own");
    const Reply reply = request("POST", "/hello", "{\"nonce\": \"" + nonce + "\"}", origin, false);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.headers.value("access-control-allow-origin"), origin);
    const QByteArray expected =
        QMessageAuthenticationCode::hash(nonce, m_core->Get_Deviceuuid().toUtf8(), QCryptographicHash::Sha256).toHex();
    QCOMPARE(reply.json().value(QStringLiteral("hmac")).toString().toLatin1(), expected);
    // Nonces too short to be unguessable, or larger than a nonce needs, are refused.
    QCOMPARE(request("POST", "/hello", "{\"nonce\": \"short\"}", origin, false).status, 400);
    QCOMPARE(request("POST", "/hello", "{\"nonce\": \"" + QByteArray(257, 'n') + "\"}", origin, false).status, 400);
}

NORV_TEST_MAIN(TestTransferApi)
#include "tst_transferapi.moc"
