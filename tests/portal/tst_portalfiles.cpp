#include "common/DemoPortalProcess.h"
#include "common/ProcessSet.h"
#include "common/RawHttp.h"
#include "common/TestCertificates.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTemporaryDir>

using Reply = RawReply;
using RawHttp::exchange;
using RawHttp::ReplyTimeoutMs;

namespace {
using TestData::sha256Of;
using Fields = QList<QPair<QByteArray, QByteArray>>;

const QString NodeFolder = QStringLiteral(NORV_NODE_DIR);
const int NodeTimeoutMs = 120000;
const qint64 MiB = 1024 * 1024;
const qint64 LargeBytes = 64 * MiB;
const int LargePieces = static_cast<int>(LargeBytes / MiB);
// Far below the large body: the portal must not hold it whole.
const qint64 MaxPortalMemoryKiB = 48 * 1024;
const QByteArray TusVersion = QByteArrayLiteral("1.0.0");
const QByteArray OffsetStream = QByteArrayLiteral("application/offset+octet-stream");
const QByteArray Placeholder = QByteArrayLiteral("{upload}");
const QByteArray Content = QByteArrayLiteral("0123456789");

QByteArray metadata(const QList<QPair<QByteArray, QString>>& pairs)
{
    QList<QByteArray> encoded;
    for (const auto& pair : pairs) {
        encoded.append(pair.first + ' ' + pair.second.toUtf8().toBase64());
    }
    return encoded.join(',');
}

// The portal's peak resident memory, from the kernel.
qint64 peakMemoryKiB(QProcess* process)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process->processId()));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    static const QRegularExpression peak(QStringLiteral("VmHWM:\\s+(\\d+) kB"));
    return peak.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// A mebibyte of a large body, made anew each time it is needed.
QByteArray pieceAt(int piece)
{
    return QByteArray(MiB, static_cast<char>(piece));
}

// Sends head and then pieces mebibytes of body, over TLS trusting the test CA or over
// plain TCP, and reads the answer until the portal closes the connection.
Reply stream(quint16 port, bool tls, const QByteArray& head, int pieces = 0)
{
    QSslSocket socket;
    if (tls) {
        socket.setCaCertificates(QSslCertificate::fromPath(TestCertificates::file("ca.pem")));
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    } else {
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
    if (!(tls ? socket.waitForEncrypted(ReplyTimeoutMs) : socket.waitForConnected(ReplyTimeoutMs))) {
        qWarning() << "cannot connect:" << socket.errorString();
        return {};
    }
    socket.write(head);
    for (int piece = 0; piece < pieces; ++piece) {
        socket.write(pieceAt(piece));
        while (socket.bytesToWrite() + socket.encryptedBytesToWrite() > MiB
               && socket.waitForBytesWritten(ReplyTimeoutMs)) { }
    }
    QByteArray raw;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(ReplyTimeoutMs)) {
        raw += socket.readAll();
    }
    return RawHttp::parse(raw + socket.readAll());
}

QByteArray tokenOf(const QByteArray& page)
{
    static const QRegularExpression token(QStringLiteral("PortalToken = \"([0-9a-f]+)\""));
    return token.match(QString::fromUtf8(page)).captured(1).toLatin1();
}
} // namespace

class TestPortalFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void realTusClientResumesAndUploadArrivesIdentical();
    void largeBodiesStreamThroughDisk_data();
    void largeBodiesStreamThroughDisk();
    void emptyFolderUploadMakesFolder();
    void unsafeRelativePathIsRefused_data();
    void unsafeRelativePathIsRefused();
    void tusRefusesBadRequests_data();
    void tusRefusesBadRequests();
    void checksumMismatchDropsTheBody();
    void terminationRemovesUpload();

    void requestWithoutTokenIsUnauthorized_data();
    void requestWithoutTokenIsUnauthorized();
    void downloadAnswersRangesByValidators_data();
    void downloadAnswersRangesByValidators();
    void changedFileGetsNewValidator();
    void downloadOutsideFilesIsNotFound_data();
    void downloadOutsideFilesIsNotFound();

private:
    QByteArray request(const QByteArray& method,
                       const QByteArray& target,
                       const Fields& fields,
                       const QByteArray& body = {}) const;
    Reply tus(const QByteArray& method, const QByteArray& target, const Fields& fields, const QByteArray& body = {});
    // A new upload of length bytes landing at relativePath; its path, e.g. "/files/ab12".
    QByteArray createUpload(qint64 length, const QString& relativePath);
    QString dataPath(const QString& relativePath) const;
    QJsonArray listing();
    // How many uploads in progress hold bytes.
    int incomingCount() const;

    ProcessSet m_processes;
    QTemporaryDir m_folder;
    QString m_data;
    QProcess* m_portal = nullptr;
    quint16 m_port = 0;
    QByteArray m_token;
};

void TestPortalFiles::initTestCase()
{
    QVERIFY(m_folder.isValid());
    // Inside the temporary folder, so that an escape would land next to it, where it shows.
    m_data = m_folder.filePath(QStringLiteral("data"));
    DemoPortalProcess portal;
    QVERIFY(portal.start(m_processes, {QStringLiteral("--data"), m_data}));
    m_portal = portal.process;
    m_port = portal.port;
    m_token = tokenOf(exchange(m_port, RawHttp::getRequest(m_port, "/app/login?uuid=1")).body);
    QVERIFY(!m_token.isEmpty());
}

QByteArray TestPortalFiles::request(const QByteArray& method,
                                    const QByteArray& target,
                                    const Fields& fields,
                                    const QByteArray& body) const
{
    QByteArray bytes = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port) + "\r\n";
    for (const auto& field : fields) {
        bytes += field.first + ": " + field.second + "\r\n";
    }
    if (!body.isEmpty()) {
        bytes += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    }
    return bytes + "\r\n" + body;
}

Reply TestPortalFiles::tus(const QByteArray& method,
                           const QByteArray& target,
                           const Fields& fields,
                           const QByteArray& body)
{
    const Fields common {{"Authorization", "Bearer " + m_token}, {"Tus-Resumable", TusVersion}};
    return exchange(m_port, request(method, target, common + fields, body));
}

QByteArray TestPortalFiles::createUpload(qint64 length, const QString& relativePath)
{
    const Reply created = tus("POST",
                              "/files/",
                              {{"Upload-Length", QByteArray::number(length)},
                               {"Upload-Metadata", metadata({{"relativePath", relativePath}})}});
    if (created.status != 201) {
        qWarning() << "upload not created:" << created.status << created.body;
    }
    return created.header("location");
}

QString TestPortalFiles::dataPath(const QString& relativePath) const
{
    return m_data + QLatin1Char('/') + relativePath;
}

int TestPortalFiles::incomingCount() const
{
    return QDir(m_data + QStringLiteral("/.incoming")).entryList(QDir::Files).size();
}

QJsonArray TestPortalFiles::listing()
{
    const Reply reply = exchange(m_port, request("GET", "/api/files", {{"Authorization", "Bearer " + m_token}}));
    if (reply.status != 200 || reply.header("content-type") != "application/json") {
        qWarning() << "no file list:" << reply.status << reply.body;
    }
    return QJsonDocument::fromJson(reply.body).object().value(QStringLiteral("files")).toArray();
}

void TestPortalFiles::realTusClientResumesAndUploadArrivesIdentical()
{
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    QVERIFY2(!node.isEmpty(), "Node.js is needed");
    QVERIFY2(QFile::exists(NodeFolder + QStringLiteral("/node_modules/tus-js-client")),
             "run: npm ci --prefix tests/node");
    QTemporaryDir source;
    const QString original = source.filePath(QStringLiteral("original.bin"));
    QFile file(original);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (qint64 written = 0; written < LargeBytes; written += MiB) {
        file.write(
            QCryptographicHash::hash(QByteArray::number(written), QCryptographicHash::Sha256).repeated(MiB / 32));
    }
    file.close();
    const QString relativePath = QStringLiteral("Berichte/2024/Übersicht März.bin");

    QProcess client;
    client.start(node,
                 {NodeFolder + QStringLiteral("/tus-upload.mjs"),
                  QStringLiteral("--endpoint"),
                  QStringLiteral("http://127.0.0.1:%1/files/").arg(m_port),
                  QStringLiteral("--token"),
                  QString::fromLatin1(m_token),
                  QStringLiteral("--file"),
                  original,
                  QStringLiteral("--relative-path"),
                  relativePath,
                  QStringLiteral("--interrupt-at"),
                  QString::number(LargeBytes / 2)});
    QVERIFY(client.waitForFinished(NodeTimeoutMs));
    QVERIFY2(client.exitCode() == 0, client.readAllStandardError().constData());
    const QJsonObject outcome = QJsonDocument::fromJson(client.readAllStandardOutput()).object();
    // The first attempt was cut off once the portal had stored the half it sent; the second went
    // on from there.
    QCOMPARE(outcome.value(QStringLiteral("resumedFrom")).toVariant().toLongLong(), LargeBytes / 2);
    QCOMPARE(sha256Of(dataPath(relativePath)), sha256Of(original));

    bool listed = false;
    for (const QJsonValue& entry : listing()) {
        listed |= entry.toObject().value(QStringLiteral("path")).toString() == relativePath
            && entry.toObject().value(QStringLiteral("size")).toVariant().toLongLong() == LargeBytes;
    }
    QVERIFY(listed);
}

void TestPortalFiles::largeBodiesStreamThroughDisk_data()
{
    QTest::addColumn<bool>("tls");

    QTest::newRow("http") << false;
    QTest::newRow("https") << true;
}

void TestPortalFiles::largeBodiesStreamThroughDisk()
{
    QFETCH(bool, tls);
    QTemporaryDir data;
    ProcessSet processes;
    DemoPortalProcess portal;
    QVERIFY(portal.start(processes,
                         QStringList {QStringLiteral("--data"), data.path()}
                             + (tls ? DemoPortalProcess::httpsArguments() : QStringList())));
    const quint16 port = portal.port;
    const QByteArray token = tokenOf(stream(port, tls, "GET /app/login?uuid=1 HTTP/1.1\r\nHost: h\r\n\r\n").body);
    QVERIFY(!token.isEmpty());

    QCryptographicHash sent(QCryptographicHash::Sha256);
    for (int piece = 0; piece < LargePieces; ++piece) {
        sent.addData(pieceAt(piece));
    }
    const QByteArray create = "POST /files/ HTTP/1.1\r\nHost: h\r\nAuthorization: Bearer " + token
        + "\r\nTus-Resumable: 1.0.0\r\nUpload-Length: " + QByteArray::number(LargePieces * MiB)
        + "\r\nUpload-Metadata: " + metadata({{"relativePath", "large/stream.bin"}}) + "\r\nUpload-Checksum: sha256 "
        + sent.result().toBase64() + "\r\nContent-Type: " + OffsetStream
        + "\r\nContent-Length: " + QByteArray::number(LargePieces * MiB) + "\r\n\r\n";
    const Reply created = stream(port, tls, create, LargePieces);
    QCOMPARE(created.status, 201);
    QCOMPARE(created.header("upload-offset"), QByteArray::number(LargePieces * MiB));
    QCOMPARE(sha256Of(data.filePath(QStringLiteral("large/stream.bin"))), sent.result().toHex());

    const Reply download = stream(
        port, tls, "GET /download/large/stream.bin HTTP/1.1\r\nHost: h\r\nAuthorization: Bearer " + token + "\r\n\r\n");
    QCOMPARE(download.status, 200);
    QCOMPARE(QCryptographicHash::hash(download.body, QCryptographicHash::Sha256), sent.result());
    const qint64 peak = peakMemoryKiB(portal.process);
    QVERIFY2(peak > 0 && peak < MaxPortalMemoryKiB, QByteArray::number(peak).constData());
}

void TestPortalFiles::emptyFolderUploadMakesFolder()
{
    const Reply created = tus(
        "POST",
        "/files/",
        {{"Upload-Length", "0"}, {"Upload-Metadata", metadata({{"relativePath", "tree/empty"}, {"kind", "folder"}})}});
    QCOMPARE(created.status, 201);
    QCOMPARE(created.header("upload-offset"), QByteArray("0"));
    QVERIFY(QFileInfo(dataPath(QStringLiteral("tree/empty"))).isDir());
    QVERIFY(listing().contains(QJsonObject {
        {QStringLiteral("path"), QStringLiteral("tree/empty")},
        {QStringLiteral("size"), 0},
        {QStringLiteral("kind"), QStringLiteral("folder")},
        {QStringLiteral("modified"),
         QFileInfo(dataPath(QStringLiteral("tree/empty"))).lastModified().toUTC().toString(Qt::ISODate)}}));
}

void TestPortalFiles::unsafeRelativePathIsRefused_data()
{
    QTest::addColumn<QString>("relativePath");

    QTest::newRow("parent") << QStringLiteral("../escape.txt");
    QTest::newRow("parent inside") << QStringLiteral("a/../../escape.txt");
    QTest::newRow("absolute") << m_folder.filePath(QStringLiteral("escape.txt"));
    QTest::newRow("current") << QStringLiteral("./escape.txt");
    QTest::newRow("empty name") << QStringLiteral("a//escape.txt");
    QTest::newRow("backslash") << QStringLiteral("..\\escape.txt");
    QTest::newRow("control") << QStringLiteral("escape\n.txt");
    QTest::newRow("uploads in progress") << QStringLiteral(".incoming/escape.txt");
}

void TestPortalFiles::unsafeRelativePathIsRefused()
{
    QFETCH(QString, relativePath);
    const int incoming = incomingCount();
    const Reply refused =
        tus("POST",
            "/files/",
            {{"Upload-Length", QByteArray::number(Content.size())},
             {"Upload-Metadata", metadata({{"filename", "escape.txt"}, {"relativePath", relativePath}})},
             {"Content-Type", OffsetStream}},
            Content);
    QCOMPARE(refused.status, 400);
    QVERIFY(!QFile::exists(m_folder.filePath(QStringLiteral("escape.txt"))));
    QCOMPARE(incomingCount(), incoming);
}

void TestPortalFiles::tusRefusesBadRequests_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<Fields>("fields");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");

    const QByteArray name = metadata({{"filename", "a.txt"}});
    const Fields patch {{"Content-Type", OffsetStream}, {"Upload-Offset", "0"}};
    QTest::newRow("no length") << QByteArray("POST") << QByteArray("/files/") << Fields {{"Upload-Metadata", name}}
                               << QByteArray() << 400;
    QTest::newRow("over maximum") << QByteArray("POST") << QByteArray("/files/")
                                  << Fields {{"Upload-Length", "99999999999999"}, {"Upload-Metadata", name}}
                                  << QByteArray() << 413;
    QTest::newRow("bad metadata") << QByteArray("POST") << QByteArray("/files/")
                                  << Fields {{"Upload-Length", "1"}, {"Upload-Metadata", "filename ***"}}
                                  << QByteArray() << 400;
    QTest::newRow("no name") << QByteArray("POST") << QByteArray("/files/") << Fields {{"Upload-Length", "1"}}
                             << QByteArray() << 400;
    QTest::newRow("folder with bytes") << QByteArray("POST") << QByteArray("/files/")
                                       << Fields {{"Upload-Length", "1"},
                                                  {"Upload-Metadata",
                                                   metadata({{"filename", "d"}, {"kind", "folder"}})}}
                                       << QByteArray() << 400;
    QTest::newRow("offset mismatch") << QByteArray("PATCH") << Placeholder
                                     << Fields {{"Content-Type", OffsetStream}, {"Upload-Offset", "3"}} << Content
                                     << 409;
    QTest::newRow("no offset") << QByteArray("PATCH") << Placeholder << Fields {{"Content-Type", OffsetStream}}
                               << Content << 400;
    QTest::newRow("wrong type") << QByteArray("PATCH") << Placeholder
                                << Fields {{"Content-Type", "text/plain"}, {"Upload-Offset", "0"}} << Content << 415;
    QTest::newRow("past length") << QByteArray("PATCH") << Placeholder << patch << Content + Content << 413;
    QTest::newRow("unknown algorithm") << QByteArray("PATCH") << Placeholder
                                       << patch + Fields {{"Upload-Checksum", "md5 AAAA"}} << Content << 400;
    QTest::newRow("unknown upload") << QByteArray("HEAD") << QByteArray("/files/0123") << Fields {} << QByteArray()
                                    << 404;
    QTest::newRow("no version") << QByteArray("POST") << QByteArray("/files/")
                                << Fields {{"Tus-Resumable", "0.2.2"},
                                           {"Upload-Length", "1"},
                                           {"Upload-Metadata", name}}
                                << QByteArray() << 412;
}

void TestPortalFiles::tusRefusesBadRequests()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(Fields, fields);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    if (target == Placeholder) {
        target = createUpload(Content.size(), QStringLiteral("refusals/a.txt"));
        QVERIFY(!target.isEmpty());
    }
    Fields sent = fields;
    // A field of the row replaces the usual one.
    const Fields common {{"Authorization", "Bearer " + m_token}, {"Tus-Resumable", TusVersion}};
    for (const auto& field : common) {
        if (std::none_of(
                fields.cbegin(), fields.cend(), [&field](const auto& own) { return own.first == field.first; })) {
            sent.prepend(field);
        }
    }
    const Reply reply = exchange(m_port, request(method, target, sent, body));
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("tus-resumable"), TusVersion);
    if (target.startsWith("/files/") && target != "/files/" && status != 404) {
        QCOMPARE(tus("HEAD", target, {}).header("upload-offset"), QByteArray("0"));
    }
}

void TestPortalFiles::checksumMismatchDropsTheBody()
{
    const QByteArray upload = createUpload(Content.size(), QStringLiteral("checked/a.txt"));
    const QByteArray half = Content.left(5);
    const QByteArray wrong = QCryptographicHash::hash("other", QCryptographicHash::Sha256).toBase64();
    const Fields patch {{"Content-Type", OffsetStream}, {"Upload-Offset", "0"}};
    QCOMPARE(tus("PATCH", upload, patch + Fields {{"Upload-Checksum", "sha256 " + wrong}}, half).status, 460);
    QCOMPARE(tus("HEAD", upload, {}).header("upload-offset"), QByteArray("0"));

    const QByteArray right = QCryptographicHash::hash(half, QCryptographicHash::Sha1).toBase64();
    const Reply accepted = tus("PATCH", upload, patch + Fields {{"Upload-Checksum", "sha1 " + right}}, half);
    QCOMPARE(accepted.status, 204);
    QCOMPARE(accepted.header("upload-offset"), QByteArray("5"));
}

void TestPortalFiles::terminationRemovesUpload()
{
    const QByteArray upload = createUpload(Content.size(), QStringLiteral("terminated/a.txt"));
    const Fields patch {{"Content-Type", OffsetStream}, {"Upload-Offset", "0"}};
    QCOMPARE(tus("PATCH", upload, patch, Content.left(4)).status, 204);
    const int incoming = incomingCount();
    QCOMPARE(tus("DELETE", upload, {}).status, 204);
    QCOMPARE(tus("HEAD", upload, {}).status, 404);
    QCOMPARE(tus("PATCH", upload, patch, Content).status, 404);
    QCOMPARE(incomingCount(), incoming - 1);
    QVERIFY(!QFile::exists(dataPath(QStringLiteral("terminated/a.txt"))));
}

void TestPortalFiles::requestWithoutTokenIsUnauthorized_data()
{
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("authorization");

    QTest::newRow("tus options") << QByteArray("OPTIONS") << QByteArray("/files/") << QByteArray();
    QTest::newRow("tus create") << QByteArray("POST") << QByteArray("/files/") << QByteArray();
    QTest::newRow("file list") << QByteArray("GET") << QByteArray("/api/files") << QByteArray();
    QTest::newRow("download") << QByteArray("GET") << QByteArray("/download/norv-client.deb") << QByteArray();
    QTest::newRow("attachment without the session")
        << QByteArray("GET") << QByteArray("/attachment/norv-client.deb") << QByteArray();
    QTest::newRow("wrong token") << QByteArray("GET") << QByteArray("/api/files") << QByteArray("Bearer 0123");
    QTest::newRow("other scheme") << QByteArray("GET") << QByteArray("/api/files") << QByteArray("Basic dXNlcjpwdw==");
}

void TestPortalFiles::requestWithoutTokenIsUnauthorized()
{
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, authorization);
    Fields fields {{"Tus-Resumable", TusVersion}, {"Upload-Length", "1"}};
    if (!authorization.isEmpty()) {
        fields.append({"Authorization", authorization});
    }
    const Reply reply = exchange(m_port, request(method, target, fields));
    QCOMPARE(reply.status, 401);
    QVERIFY(reply.header("www-authenticate").startsWith("Bearer"));
}

void TestPortalFiles::downloadAnswersRangesByValidators_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<QByteArray>("ifRange");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("contentRange");
    QTest::addColumn<QByteArray>("body");

    const QByteArray tag = QByteArrayLiteral("{tag}");
    const QByteArray date = QByteArrayLiteral("{date}");
    QTest::newRow("whole") << QByteArray() << QByteArray() << 200 << QByteArray() << Content;
    QTest::newRow("range") << QByteArray("bytes=2-5") << QByteArray() << 206 << QByteArray("bytes 2-5/10")
                           << QByteArray("2345");
    QTest::newRow("open end") << QByteArray("bytes=7-") << QByteArray() << 206 << QByteArray("bytes 7-9/10")
                              << QByteArray("789");
    QTest::newRow("past end clipped") << QByteArray("bytes=8-99") << QByteArray() << 206 << QByteArray("bytes 8-9/10")
                                      << QByteArray("89");
    QTest::newRow("suffix") << QByteArray("bytes=-3") << QByteArray() << 206 << QByteArray("bytes 7-9/10")
                            << QByteArray("789");
    QTest::newRow("unsatisfiable") << QByteArray("bytes=10-") << QByteArray() << 416 << QByteArray("bytes */10")
                                   << QByteArray();
    QTest::newRow("empty suffix") << QByteArray("bytes=-0") << QByteArray() << 416 << QByteArray("bytes */10")
                                  << QByteArray();
    QTest::newRow("several ranges") << QByteArray("bytes=0-1,4-5") << QByteArray() << 200 << QByteArray() << Content;
    QTest::newRow("malformed") << QByteArray("bytes=x-") << QByteArray() << 200 << QByteArray() << Content;
    QTest::newRow("other unit") << QByteArray("lines=1-2") << QByteArray() << 200 << QByteArray() << Content;
    QTest::newRow("if-range tag") << QByteArray("bytes=2-5") << tag << 206 << QByteArray("bytes 2-5/10")
                                  << QByteArray("2345");
    QTest::newRow("if-range date") << QByteArray("bytes=2-5") << date << 206 << QByteArray("bytes 2-5/10")
                                   << QByteArray("2345");
    QTest::newRow("if-range weak") << QByteArray("bytes=2-5") << "W/" + tag << 200 << QByteArray() << Content;
    QTest::newRow("if-range other tag") << QByteArray("bytes=2-5") << QByteArray("\"other\"") << 200 << QByteArray()
                                        << Content;
    QTest::newRow("if-range other date") << QByteArray("bytes=2-5") << QByteArray("Mon, 01 Jan 2001 00:00:00 GMT")
                                         << 200 << QByteArray() << Content;
}

void TestPortalFiles::downloadAnswersRangesByValidators()
{
    QFETCH(QByteArray, range);
    QFETCH(QByteArray, ifRange);
    QFETCH(int, status);
    QFETCH(QByteArray, contentRange);
    QFETCH(QByteArray, body);
    const QString path = dataPath(QStringLiteral("ranges/digits.txt"));
    if (!QFile::exists(path)) {
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(Content), Content.size());
    }
    const Fields auth {{"Authorization", "Bearer " + m_token}};
    const Reply whole = exchange(m_port, request("GET", "/download/ranges/digits.txt", auth));
    QCOMPARE(whole.status, 200);
    const QByteArray tag = whole.header("etag");
    QVERIFY(tag.startsWith('"') && tag.endsWith('"'));
    QCOMPARE(whole.header("accept-ranges"), QByteArray("bytes"));
    QVERIFY(!whole.header("last-modified").isEmpty());

    Fields fields = auth;
    if (!range.isEmpty()) {
        fields.append({"Range", range});
    }
    if (!ifRange.isEmpty()) {
        fields.append({"If-Range", ifRange.replace("{tag}", tag).replace("{date}", whole.header("last-modified"))});
    }
    const Reply reply = exchange(m_port, request("GET", "/download/ranges/digits.txt", fields));
    QCOMPARE(reply.status, status);
    QCOMPARE(reply.header("content-range"), contentRange);
    if (status != 416) {
        QCOMPARE(reply.body, body);
        QCOMPARE(reply.header("etag"), tag);
    }
}

void TestPortalFiles::changedFileGetsNewValidator()
{
    const QString relativePath = QStringLiteral("changing/file.txt");
    const QByteArray target = "/download/changing/file.txt";
    const Fields auth {{"Authorization", "Bearer " + m_token}};
    QVERIFY(QDir().mkpath(QFileInfo(dataPath(relativePath)).path()));
    QFile file(dataPath(relativePath));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Content);
    file.close();
    const QByteArray before = exchange(m_port, request("GET", target, auth)).header("etag");

    // A new version of the file, as an upload places it: a new file of another length.
    const QByteArray upload = createUpload(Content.size() + 1, relativePath);
    const Fields patch {{"Content-Type", OffsetStream}, {"Upload-Offset", "0"}};
    QCOMPARE(tus("PATCH", upload, patch, Content + '!').status, 204);

    const Reply reply =
        exchange(m_port, request("GET", target, auth + Fields {{"Range", "bytes=2-"}, {"If-Range", before}}));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, Content + '!');
    QVERIFY(reply.header("etag") != before);
}

void TestPortalFiles::downloadOutsideFilesIsNotFound_data()
{
    QTest::addColumn<QByteArray>("target");

    QTest::newRow("missing") << QByteArray("/download/missing.txt");
    QTest::newRow("parent") << QByteArray("/download/../data/ranges/digits.txt");
    QTest::newRow("encoded parent") << QByteArray("/download/%2e%2e/data/ranges/digits.txt");
    QTest::newRow("folder") << QByteArray("/download/ranges");
    QTest::newRow("nothing") << QByteArray("/download/");
    QTest::newRow("upload in progress") << QByteArray("/download/.incoming");
}

void TestPortalFiles::downloadOutsideFilesIsNotFound()
{
    QFETCH(QByteArray, target);
    QVERIFY(QDir().mkpath(dataPath(QStringLiteral("ranges"))));
    const Reply reply = exchange(m_port, request("GET", target, {{"Authorization", "Bearer " + m_token}}));
    QCOMPARE(reply.status, 404);
}

NORV_TEST_MAIN(TestPortalFiles)
#include "tst_portalfiles.moc"
