#include "app/PortalContract.h"
#include "common/DemoPortalProcess.h"
#include "common/ProcessSet.h"
#include "common/RawHttp.h"
#include "common/TestCertificates.h"
#include "common/TestEnvironment.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslError>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>

#include <memory>

namespace {
const int StartTimeoutMs = 5000;
const int ReplyTimeoutMs = 5000;
const QByteArray VersionPath = QByteArrayLiteral("/enterprise/release/3.0/version.json");
// The portal on a free port; 0 when it does not start.

quint16 startPortal(ProcessSet& processes, const QStringList& arguments = {}, QProcess** process = nullptr)
{
    DemoPortalProcess portal;
    const bool started = portal.start(processes, arguments);
    if (process) {
        *process = portal.process;
    }
    return started ? portal.port : 0;
}

using Reply = RawReply;
using RawHttp::exchange;

Reply get(quint16 port, const QByteArray& target)
{
    return exchange(port, RawHttp::getRequest(port, target));
}

QByteArray titleOf(const QByteArray& page)
{
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"));
    return title.match(QString::fromUtf8(page)).captured(1).toUtf8();
}

QByteArray deviceIdElementOf(const QByteArray& page)
{
    static const QRegularExpression element(QStringLiteral("id=\"device-id\">([^<]*)<"));
    return element.match(QString::fromUtf8(page)).captured(1).toUtf8();
}

QSslConfiguration trustingOnlyTestCa()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(TestCertificates::file("ca.pem")));
    return configuration;
}

// Waits for the reply to finish; the caller owns it.
std::unique_ptr<QNetworkReply> fetch(QNetworkAccessManager& network, const QNetworkRequest& request)
{
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(ReplyTimeoutMs)) {
        qWarning() << "no reply from" << request.url();
    }
    return reply;
}

QNetworkRequest httpsRequest(quint16 port, const QString& path)
{
    return QNetworkRequest(QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port).arg(path)));
}

// Waits until the program ends by itself and returns its exit code; -1 when it does not.
int exitCodeOf(QProcess* process)
{
    if (!process->waitForFinished(StartTimeoutMs) || process->exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process->exitCode();
}
} // namespace

class TestDemoPortal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void loginPageShowsMarkerAndEscapedDeviceId_data();
    void loginPageShowsMarkerAndEscapedDeviceId();
    void loginPageDefinesClientFunctions();
    void pageCallsClientOnGivenPort();
    void plainPageLacksMarker();
    void mixedPageLoadsImageOnlyFromGivenOrigin();
    void requestsAreLoggedWithoutQuery();

    void versionFileAnnouncesGivenVersion();
    void versionBodyIsServedByteForByte();
    void versionFileCanRedirect();

    void unknownPathIsNotFound_data();
    void unknownPathIsNotFound();
    void badRequestIsRejectedAndServingGoesOn_data();
    void badRequestIsRejectedAndServingGoesOn();
    void stalledClientDoesNotBlockOthers();

    void httpsIsTrustedThroughTestCa();
    void httpsWithoutTestCaFailsOnCertificate();

    void takenPortEndsProgram();
    void unusableCertificateEndsProgram_data();
    void unusableCertificateEndsProgram();

private:
    ProcessSet m_processes;
    QProcess* m_portal = nullptr;
    quint16 m_port = 0;
};

void TestDemoPortal::initTestCase()
{
    QVERIFY(QFile::exists(DemoPortalProcess::program()));
    m_port = startPortal(m_processes, {}, &m_portal);
    QVERIFY(m_port != 0);
}

void TestDemoPortal::loginPageShowsMarkerAndEscapedDeviceId_data()
{
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("uuid") << QByteArray("5f0c9a4e-7b1d-4c2e-9f3a-2d8e6b1c0a77")
                          << QByteArray("5f0c9a4e-7b1d-4c2e-9f3a-2d8e6b1c0a77");
    QTest::newRow("script") << QByteArray("<script>") << QByteArray("&lt;script&gt;");
    QTest::newRow("attribute") << QByteArray("\"&x") << QByteArray("&quot;&amp;x");
    QTest::newRow("placeholder") << QByteArray("{{logo}}") << QByteArray("{{logo}}");
    QTest::newRow("none") << QByteArray() << QByteArray();
}

void TestDemoPortal::loginPageShowsMarkerAndEscapedDeviceId()
{
    QFETCH(QByteArray, deviceId);
    QFETCH(QByteArray, shown);
    const Reply reply = get(m_port, "/app/login?lang=en&uuid=" + deviceId.toPercentEncoding() + "&httpd=1");
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), QByteArray("text/html; charset=utf-8"));
    QCOMPARE(reply.header("connection"), QByteArray("close"));
    QCOMPARE(reply.header("content-length"), QByteArray::number(reply.body.size()));
    QVERIFY(titleOf(reply.body).contains(PortalMarker));
    QCOMPARE(deviceIdElementOf(reply.body), shown);
    QCOMPARE(reply.body.count("{{"), shown.count("{{"));
}

void TestDemoPortal::loginPageDefinesClientFunctions()
{
    const Reply reply = get(m_port, PortalLoginPath + QByteArray("1"));
    QCOMPARE(reply.status, 200);
    for (const char* piece : {"function changeLang(lang)",
                              "function TesselDrage(kind, path)",
                              "function navPage()",
                              "id=\"calls\"",
                              "id=\"browser-active\"",
                              "/browser-active"}) {
        QVERIFY2(reply.body.contains(piece), piece);
    }
    // Everything the page needs is inline.
    QVERIFY(!reply.body.contains("src=\"http"));
    QVERIFY(!reply.body.contains("href=\"http"));
}

void TestDemoPortal::pageCallsClientOnGivenPort()
{
    QVERIFY(get(m_port, "/app/login?uuid=1").body.contains("DefaultClientPort = \"9887\""));
    ProcessSet processes;
    const quint16 port = startPortal(processes, {QStringLiteral("--agent-port"), QStringLiteral("4321")});
    QVERIFY(port != 0);
    QVERIFY(get(port, "/app/login?uuid=1").body.contains("DefaultClientPort = \"4321\""));
}

void TestDemoPortal::plainPageLacksMarker()
{
    const Reply reply = get(m_port, "/plain");
    QCOMPARE(reply.status, 200);
    QVERIFY(!titleOf(reply.body).isEmpty());
    QVERIFY(!reply.body.contains(PortalMarker));
}

void TestDemoPortal::mixedPageLoadsImageOnlyFromGivenOrigin()
{
    const Reply withoutOrigin = get(m_port, "/mixed");
    QCOMPARE(withoutOrigin.status, 200);
    QVERIFY(titleOf(withoutOrigin.body).contains(PortalMarker));
    QVERIFY(!withoutOrigin.body.contains("<img"));

    ProcessSet processes;
    const quint16 port =
        startPortal(processes, {QStringLiteral("--third-party-origin"), QStringLiteral("https://localhost:8443")});
    QVERIFY(port != 0);
    const Reply reply = get(port, "/mixed");
    QCOMPARE(reply.status, 200);
    QVERIFY(titleOf(reply.body).contains(PortalMarker));
    QVERIFY(reply.body.contains("<img id=\"third-party-image\" src=\"https://localhost:8443/assets/logo.svg\""));
    QCOMPARE(get(port, "/assets/logo.svg").header("content-type"), QByteArray("image/svg+xml"));
}

void TestDemoPortal::requestsAreLoggedWithoutQuery()
{
    const QByteArray lastLine("GET /missing 404\n");
    QCOMPARE(get(m_port, PortalLoginPath + QByteArray("secret")).status, 200);
    QCOMPARE(get(m_port, "/missing?x=1").status, 404);
    m_portal->setReadChannel(QProcess::StandardError);
    QByteArray logged = m_portal->readAll();
    while (!logged.contains(lastLine) && m_portal->waitForReadyRead(StartTimeoutMs)) {
        logged += m_portal->readAll();
    }
    m_portal->setReadChannel(QProcess::StandardOutput);
    QVERIFY(logged.contains("GET /app/login 200\n"));
    QVERIFY(logged.contains(lastLine));
    QVERIFY(!logged.contains("secret"));
}

void TestDemoPortal::versionFileAnnouncesGivenVersion()
{
    ProcessSet processes;
    const quint16 port = startPortal(processes, {QStringLiteral("--version"), QStringLiteral("4.5.6")});
    QVERIFY(port != 0);
    const Reply reply = get(port, VersionPath);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("content-type"), QByteArray("application/json"));
    QJsonParseError error;
    const QJsonObject file =
        QJsonDocument::fromJson(reply.body, &error).object().value(QStringLiteral("win32")).toObject();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(file.value(QStringLiteral("version")).toString(), QStringLiteral("4.5.6"));
    QCOMPARE(file.value(QStringLiteral("downloadUrl")).toString(),
             QStringLiteral("http://127.0.0.1:%1/download/norv-client.deb").arg(port));
    QVERIFY(!file.value(QStringLiteral("notes")).toString().isEmpty());

    const QJsonObject defaultFile =
        QJsonDocument::fromJson(get(m_port, VersionPath).body).object().value(QStringLiteral("win32")).toObject();
    QCOMPARE(defaultFile.value(QStringLiteral("version")).toString(), QStringLiteral("3.0.0"));
}

void TestDemoPortal::versionBodyIsServedByteForByte()
{
    const char raw[] = "{\"version\": \"9.\0\xff\r\n\r\n";
    const QByteArray broken(raw, sizeof(raw) - 1);
    QTemporaryFile body;
    QVERIFY(body.open());
    body.write(broken);
    body.close();
    ProcessSet processes;
    const quint16 port = startPortal(processes, {QStringLiteral("--version-body"), body.fileName()});
    QVERIFY(port != 0);
    const Reply reply = get(port, VersionPath);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, broken);
}

void TestDemoPortal::versionFileCanRedirect()
{
    ProcessSet processes;
    const quint16 port = startPortal(processes, {QStringLiteral("--redirect-version")});
    QVERIFY(port != 0);
    const Reply reply = get(port, VersionPath);
    QCOMPARE(reply.status, 302);
    const QByteArray location = reply.header("location");
    QVERIFY(location.startsWith('/'));
    QVERIFY(location != VersionPath);
    const Reply moved = get(port, location);
    QCOMPARE(moved.status, 200);
    const QJsonObject entry = QJsonDocument::fromJson(moved.body).object().value(QStringLiteral("win32")).toObject();
    QCOMPARE(entry.value(QStringLiteral("version")).toString(), QStringLiteral("3.0.0"));
}

void TestDemoPortal::unknownPathIsNotFound_data()
{
    QTest::addColumn<QByteArray>("request");

    QTest::newRow("unknown") << QByteArray("GET /nothing HTTP/1.1\r\nHost: h\r\n\r\n");
    QTest::newRow("below login") << QByteArray("GET /app/login/more HTTP/1.1\r\nHost: h\r\n\r\n");
    QTest::newRow("case") << QByteArray("GET /PLAIN HTTP/1.1\r\nHost: h\r\n\r\n");
    QTest::newRow("post") << QByteArray("POST /app/login HTTP/1.1\r\nHost: h\r\nContent-Length: 2\r\n\r\nhi");
}

void TestDemoPortal::unknownPathIsNotFound()
{
    QFETCH(QByteArray, request);
    QCOMPARE(exchange(m_port, request).status, 404);
}

void TestDemoPortal::badRequestIsRejectedAndServingGoesOn_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");

    QTest::newRow("garbage") << QByteArray("garbage\r\n\r\n") << 400;
    QTest::newRow("binary") << QByteArray("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 15) << 400;
    QTest::newRow("no version") << QByteArray("GET /plain\r\n\r\n") << 400;
    QTest::newRow("absolute target") << QByteArray("GET http://x/plain HTTP/1.1\r\n\r\n") << 400;
    QTest::newRow("bare line feeds") << QByteArray("GET /plain HTTP/1.1\nHost: h\n\n") << 400;
    QTest::newRow("bad header") << QByteArray("GET /plain HTTP/1.1\r\nno colon\r\n\r\n") << 400;
    QTest::newRow("head over 8 KiB") << "GET /plain HTTP/1.1\r\nX-Fill: " + QByteArray(9 * 1024, 'a') + "\r\n\r\n"
                                     << 431;
}

void TestDemoPortal::badRequestIsRejectedAndServingGoesOn()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QCOMPARE(exchange(m_port, request).status, status);
    QCOMPARE(get(m_port, "/plain").status, 200);
}

void TestDemoPortal::stalledClientDoesNotBlockOthers()
{
    QTcpSocket stalled;
    stalled.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(stalled.waitForConnected(ReplyTimeoutMs));
    stalled.write("GET /pla");
    QVERIFY(stalled.waitForBytesWritten(ReplyTimeoutMs));
    QCOMPARE(get(m_port, "/plain").status, 200);
    QCOMPARE(stalled.state(), QAbstractSocket::ConnectedState);
}

void TestDemoPortal::httpsIsTrustedThroughTestCa()
{
    ProcessSet processes;
    const quint16 port = startPortal(processes, DemoPortalProcess::httpsArguments());
    QVERIFY(port != 0);
    QNetworkAccessManager network;
    QNetworkRequest request = httpsRequest(port, QLatin1String(PortalLoginPath) + QStringLiteral("abc"));
    request.setSslConfiguration(trustingOnlyTestCa());
    const std::unique_ptr<QNetworkReply> reply = fetch(network, request);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    const QByteArray page = reply->readAll();
    QVERIFY(titleOf(page).contains(PortalMarker));
    QCOMPARE(deviceIdElementOf(page), QByteArray("abc"));
}

void TestDemoPortal::httpsWithoutTestCaFailsOnCertificate()
{
    ProcessSet processes;
    const quint16 port = startPortal(processes, DemoPortalProcess::httpsArguments());
    QVERIFY(port != 0);
    QNetworkAccessManager network;
    const QNetworkRequest untrusting = httpsRequest(port, QLatin1String(PortalLoginPath) + QStringLiteral("abc"));
    std::unique_ptr<QNetworkReply> reply(network.get(untrusting));
    QList<QSslError> errors;
    connect(reply.get(), &QNetworkReply::sslErrors, this, [&errors](const QList<QSslError>& reported) {
        errors += reported;
    });
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    QVERIFY(finished.wait(ReplyTimeoutMs));
    QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
    QVERIFY(!errors.isEmpty());
    QCOMPARE(errors.at(0).error(), QSslError::UnableToGetLocalIssuerCertificate);

    // The failed handshake leaves the portal serving. A manager of its own, since the first
    // one keeps its connection to the same host with the configuration it began with.
    QNetworkRequest trusting = untrusting;
    trusting.setSslConfiguration(trustingOnlyTestCa());
    QNetworkAccessManager trustingNetwork;
    QCOMPARE(fetch(trustingNetwork, trusting)->error(), QNetworkReply::NoError);
}

void TestDemoPortal::takenPortEndsProgram()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    ProcessSet processes;
    QProcess* portal =
        processes.start(DemoPortalProcess::program(), {QStringLiteral("--port"), QString::number(holder.serverPort())});
    QVERIFY(exitCodeOf(portal) > 0);
    QVERIFY(portal->readAllStandardError().contains("cannot listen"));
    QVERIFY(portal->readAllStandardOutput().isEmpty());
}

void TestDemoPortal::unusableCertificateEndsProgram_data()
{
    QTest::addColumn<QStringList>("arguments");

    const QString cert = TestCertificates::file("cert.pem");
    const QString key = TestCertificates::file("key.pem");
    const QString missing = TestCertificates::file("missing.pem");
    QTest::newRow("missing certificate") << QStringList {
        QStringLiteral("--https"), QStringLiteral("--cert"), missing, QStringLiteral("--key"), key};
    QTest::newRow("missing key") << QStringList {
        QStringLiteral("--https"), QStringLiteral("--cert"), cert, QStringLiteral("--key"), missing};
    QTest::newRow("key as certificate") << QStringList {
        QStringLiteral("--https"), QStringLiteral("--cert"), key, QStringLiteral("--key"), key};
    QTest::newRow("certificate as key") << QStringList {
        QStringLiteral("--https"), QStringLiteral("--cert"), cert, QStringLiteral("--key"), cert};
    QTest::newRow("no files") << QStringList {QStringLiteral("--https")};
}

void TestDemoPortal::unusableCertificateEndsProgram()
{
    QFETCH(QStringList, arguments);
    ProcessSet processes;
    QProcess* portal = processes.start(DemoPortalProcess::program(),
                                       QStringList {QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    QVERIFY(exitCodeOf(portal) > 0);
    QVERIFY(!portal->readAllStandardError().isEmpty());
    QVERIFY(portal->readAllStandardOutput().isEmpty());
}

NORV_TEST_MAIN(TestDemoPortal)
#include "tst_demoportal.moc"
