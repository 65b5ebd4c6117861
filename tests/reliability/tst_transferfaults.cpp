#include "common/AgentFixture.h"
#include "common/NodePeer.h"
#include "common/TestCertificates.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "common/TransferWatch.h"
#include "core/transfer/CertificateTrust.h"
#include "core/transfer/DownloadSink.h"
#include "core/transfer/Grants.h"
#include "core/transfer/RetryDelay.h"
#include "core/transfer/TransferAgent.h"
#include "core/transfer/TusRequestSize.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include <memory>

// The transfer agent against tests/node/fault-server.mjs: a server that answers with the
// fault a case names and logs every request, so a case can check what was sent and confirmed.
namespace {
using TestData::sha256Of;
using TestData::writeRandomFile;
const char* const RateLimitVariable = "NORV_TRANSFER_RATE_LIMIT";
const char* const StallSecondsVariable = "NORV_TRANSFER_STALL_SECONDS";
// Slow enough that a change of the file lands in the middle of the upload.
const QByteArray SlowBytesPerSecond = QByteArrayLiteral("4194304");
const QByteArray ShortStallSeconds = QByteArrayLiteral("2");
const QByteArray ShortRetryCeilingMs = QByteArrayLiteral("50");
const qint64 MiB = 1024 * 1024;
const int ServerLogTimeoutMs = 10000;
const QString Done = QStringLiteral("done");
const QString Failed = QStringLiteral("failed");
const QString FileChanged = QStringLiteral("the file changed");
const QString DiskFull = QStringLiteral("disk full");
const QString ForeignLocation = QStringLiteral("the server named an upload address of another origin");

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool mountTmpfs(const QString& folder, qint64 bytes)
{
    return run(QStringLiteral("mount"),
               {QStringLiteral("-t"),
                QStringLiteral("tmpfs"),
                QStringLiteral("-o"),
                QStringLiteral("size=%1").arg(bytes),
                QStringLiteral("tmpfs"),
                folder});
}
} // namespace

class TestTransferFaults : public AgentFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void conflictAsksForTheOffsetAndContinues();
    void lockedUploadIsRetriedAtTheSameAddress();
    void serverErrorsAndCutConnectionsNeverRestart();
    void offsetBeyondTheRequestIsChecked();
    void headWithoutOffsetFails();
    void stalledRequestIsResumedThroughHead();
    void requestSizes_data();
    void requestSizes();
    void requestSizeFollowsTheSpeed_data();
    void requestSizeFollowsTheSpeed();
    void fileOverTheServersMaximumFails();
    void foreignUploadAddressFails_data();
    void foreignUploadAddressFails();
    void checksumIsSentWhenOffered_data();
    void checksumIsSentWhenOffered();
    void changedSourceLeavesNothingTorn_data();
    void changedSourceLeavesNothingTorn();
    void interruptedDownloadResumesWithRange_data();
    void interruptedDownloadResumesWithRange();
    void newETagMidDownloadRestartsFromZero();
    void fullDiskFailsAndKeepsThePart_data();
    void fullDiskFailsAndKeepsThePart();
    void unreadableStoreIsKeptAsideAndTheAgentWorks_data();
    void unreadableStoreIsKeptAsideAndTheAgentWorks();
    void fullDataFolderKeepsTheStore();
    void nonsenseFailsAfterTheLimit_data();
    void nonsenseFailsAfterTheLimit();
    void linksInTheDownloadFolderAreNotFollowed_data();
    void linksInTheDownloadFolderAreNotFollowed();

private:
    // origin: the server's, by default the plain fault server's.
    QString upload(const QString& path, const QString& faults, const QString& origin = QString());
    QString download(const QString& name, const QString& faults);
    QString sourceFile(const QString& name, qint64 size);
    // What the server logged since the case began.
    QByteArray serverLog();
    // Requests of this method the server logged since the case began.
    QList<QByteArray> served(const QByteArray& method);
    bool serverLogged(const QByteArray& text);
    QStringList uploadsOnServer() const;
    void verifyArrivedOnce(const QString& id, const QString& path);

    NodePeer m_server;
    int m_logStart = 0;
    QTemporaryDir m_serverFolder;
    QString m_mounted;
};

void TestTransferFaults::initTestCase()
{
    QVERIFY2(m_server.start(QStringLiteral("fault-server.mjs"), {m_serverFolder.path()}),
             "the fault server did not start");
}

void TestTransferFaults::init()
{
    QVERIFY(makeFolders());
    m_logStart = m_server.output().size();
}

void TestTransferFaults::cleanup()
{
    endAgent();
    qunsetenv(RateLimitVariable);
    qunsetenv(StallSecondsVariable);
    qunsetenv(RetryDelay::CeilingVariable);
    if (!m_mounted.isEmpty()) {
        QVERIFY(run(QStringLiteral("umount"), {m_mounted}));
        m_mounted.clear();
    }
    QDir(m_serverFolder.filePath(QStringLiteral("uploads"))).removeRecursively();
    QDir().mkpath(m_serverFolder.filePath(QStringLiteral("uploads")));
}

QString TestTransferFaults::upload(const QString& path, const QString& faults, const QString& origin)
{
    const QString server = origin.isEmpty() ? m_server.origin() : origin;
    return startUpload(path, QUrl(server + QLatin1Char('/') + faults + QStringLiteral("/files/")), server);
}

QString TestTransferFaults::download(const QString& name, const QString& faults)
{
    return startDownload(
        QUrl(m_server.origin() + QLatin1Char('/') + faults + QStringLiteral("/get/") + name), name, m_server.origin());
}

QString TestTransferFaults::sourceFile(const QString& name, qint64 size)
{
    const QString path = m_work->filePath(name);
    return writeRandomFile(path, size, qHash(name)) ? path : QString();
}

QByteArray TestTransferFaults::serverLog()
{
    return m_server.output().mid(m_logStart);
}

QList<QByteArray> TestTransferFaults::served(const QByteArray& method)
{
    QList<QByteArray> requests;
    for (const QByteArray& line : serverLog().split('\n')) {
        if (line.startsWith(method + ' ')) {
            requests.append(line);
        }
    }
    return requests;
}

bool TestTransferFaults::serverLogged(const QByteArray& text)
{
    // The server logs a request after answering it: its line may trail the agent's news.
    const bool logged = QTest::qWaitFor([&] { return serverLog().contains(text); }, ServerLogTimeoutMs);
    if (!logged) {
        qWarning().noquote() << "the server did not log" << text << "in:\n" << serverLog();
    }
    return logged;
}

QStringList TestTransferFaults::uploadsOnServer() const
{
    const QDir uploads(m_serverFolder.filePath(QStringLiteral("uploads")));
    QStringList paths;
    for (const QString& name : uploads.entryList(QDir::Files)) {
        paths.append(uploads.filePath(name));
    }
    return paths;
}

// Done means the server holds the whole file, from one creation, and no confirmed byte went twice.
void TestTransferFaults::verifyArrivedOnce(const QString& id, const QString& path)
{
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Done));
    const QStringList uploads = uploadsOnServer();
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(sha256Of(uploads.first()), sha256Of(path));
    QCOMPARE(served("POST").size(), 1);
    QVERIFY2(!serverLog().contains(" resent="), serverLog().constData());
}

void TestTransferFaults::conflictAsksForTheOffsetAndContinues()
{
    const QString path = sourceFile(QStringLiteral("conflict.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("conflict"));
    verifyArrivedOnce(id, path);
    // The server kept half of the first request and said 409: HEAD, then on from its offset.
    QVERIFY(serverLogged("offset=1048576 received=1048576 range=- status=204"));
    const QByteArray log = serverLog();
    const int conflict = log.indexOf("status=409");
    QVERIFY(conflict > 0 && log.indexOf("HEAD ", conflict) > conflict);
}

void TestTransferFaults::lockedUploadIsRetriedAtTheSameAddress()
{
    const QString path = sourceFile(QStringLiteral("locked.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("locked"));
    verifyArrivedOnce(id, path);
    const QList<QByteArray> patches = served("PATCH");
    QCOMPARE(patches.size(), 3);
    QVERIFY(patches.at(0).contains("status=423") && patches.at(1).contains("status=423"));
    const QByteArray address = patches.first().split(' ').value(1);
    for (const QByteArray& patch : patches) {
        QCOMPARE(patch.split(' ').value(1), address);
    }
}

void TestTransferFaults::serverErrorsAndCutConnectionsNeverRestart()
{
    const QString path = sourceFile(QStringLiteral("burst.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("burst"));
    verifyArrivedOnce(id, path);
    const QList<QByteArray> heads = served("HEAD");
    QVERIFY(heads.size() >= 3);
    QVERIFY(heads.at(0).contains("status=cut") && heads.at(1).contains("status=502"));
}

void TestTransferFaults::offsetBeyondTheRequestIsChecked()
{
    // Requests of 2.5 MiB (after the proxy's 413s); the first answer claims the whole file.
    const QString path = sourceFile(QStringLiteral("ahead.bin"), 10 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("too-large,lie-ahead"));
    verifyArrivedOnce(id, path);
    QVERIFY(serverLogged("offset=2621440 received=2621440 range=- status=204"));
}

void TestTransferFaults::headWithoutOffsetFails()
{
    const QString path = sourceFile(QStringLiteral("no-offset.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("no-offset"));
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(),
             QStringLiteral("the server answered without a valid offset"));
    QCOMPARE(transfer(id).value(QStringLiteral("bytesDone")).toDouble(), 0.0);
    QVERIFY(serverLogged("HEAD "));
    QCOMPARE(served("PATCH").size(), 1);
}

void TestTransferFaults::stalledRequestIsResumedThroughHead()
{
    qputenv(StallSecondsVariable, ShortStallSeconds);
    const QString path = sourceFile(QStringLiteral("stalled.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("stall"));
    verifyArrivedOnce(id, path);
    // The server kept the stalled request's bytes: HEAD finds the upload complete.
    QCOMPARE(served("PATCH").size(), 1);
    QVERIFY(served("PATCH").first().contains("status=stalled"));
    QVERIFY(serverLogged("HEAD "));
}

void TestTransferFaults::requestSizes_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArrayList>("requests");

    QTest::newRow("32 MiB at a time") << QStringLiteral("ok")
                                      << 40
            * MiB << QByteArrayList {"received=33554432 range=- status=204", "received=8388608 range=- status=204"};
    // The proxy takes at most 4 MiB.
    QTest::newRow("halved after a proxy's 413") << QStringLiteral("too-large") << 10 * MiB
                                                << QByteArrayList {"received=10485760 range=- status=413",
                                                                   "received=5242880 range=- status=413",
                                                                   "received=2621440 range=- status=204",
                                                                   "received=2621440 range=- status=204",
                                                                   "received=2621440 range=- status=204",
                                                                   "received=2621440 range=- status=204"};
    // Sent again at once on a new connection, never through a restart and its wait.
    QTest::newRow("kept connection closed") << QStringLiteral("drop-reused") << 40 * MiB
                                            << QByteArrayList {"status=dropped",
                                                               "received=33554432 range=- status=204",
                                                               "status=dropped",
                                                               "received=8388608 range=- status=204"};
}

void TestTransferFaults::requestSizes()
{
    QFETCH(QString, faults);
    QFETCH(qint64, size);
    QFETCH(QByteArrayList, requests);

    const QString path = sourceFile(QStringLiteral("sizes.bin"), size);
    agent();
    const QString id = upload(path, faults);
    verifyArrivedOnce(id, path);
    QVERIFY(serverLogged(requests.last()));
    const QList<QByteArray> patches = served("PATCH");
    QCOMPARE(patches.size(), requests.size());
    for (int i = 0; i < patches.size(); ++i) {
        QVERIFY2(patches.at(i).endsWith(requests.at(i)), patches.at(i).constData());
    }
}

void TestTransferFaults::requestSizeFollowsTheSpeed_data()
{
    QTest::addColumn<qint64>("refused");
    QTest::addColumn<qint64>("sent");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<qint64>("next");

    QTest::newRow("slow link keeps the floor") << qint64(0) << 32 * MiB << qint64(8000) << 32 * MiB;
    QTest::newRow("two seconds at the last speed") << qint64(0) << 32 * MiB << qint64(100) << 640 * MiB;
    QTest::newRow("never above the ceiling") << qint64(0) << 32 * MiB << qint64(0) << 1024 * MiB;
    QTest::newRow("a refused size stays halved") << 8 * MiB << 4 * MiB << qint64(1) << 4 * MiB;
}

void TestTransferFaults::requestSizeFollowsTheSpeed()
{
    QFETCH(qint64, refused);
    QFETCH(qint64, sent);
    QFETCH(qint64, elapsedMs);
    QFETCH(qint64, next);

    TusRequestSize size;
    QCOMPARE(size.bytes(), 32 * MiB);
    QVERIFY(refused == 0 || size.refused(refused));
    size.confirmed(sent, elapsedMs);
    QCOMPARE(size.bytes(), next);
    // Refused at the smallest size, the upload fails rather than shrink for ever.
    QVERIFY(!size.refused(TusRequestSize::SmallestBytes));
}

void TestTransferFaults::fileOverTheServersMaximumFails()
{
    const QString path = sourceFile(QStringLiteral("too-big.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, QStringLiteral("max-size"));
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(),
             QStringLiteral("the file is larger than the server accepts (1048576 bytes)"));
    QVERIFY(serverLogged("OPTIONS "));
    QVERIFY(served("POST").isEmpty());
}

void TestTransferFaults::foreignUploadAddressFails_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<bool>("tls");

    QTest::newRow("another host") << QStringLiteral("location-host") << false;
    QTest::newRow("https down to http") << QStringLiteral("location-http") << true;
}

void TestTransferFaults::foreignUploadAddressFails()
{
    QFETCH(QString, faults);
    QFETCH(bool, tls);

    NodePeer tlsServer;
    QString origin;
    if (tls) {
        QVERIFY(tlsServer.start(
            QStringLiteral("fault-server.mjs"),
            {m_serverFolder.path(), TestCertificates::file("key.pem"), TestCertificates::file("cert.pem")}));
        origin = QStringLiteral("https://127.0.0.1:%1").arg(tlsServer.port());
        m_trust.pin(QUrl(origin), QSslCertificate::fromPath(TestCertificates::file("cert.pem")).value(0).toDer());
    }
    const QString path = sourceFile(QStringLiteral("elsewhere.bin"), 2 * MiB);
    agent();
    const QString id = upload(path, faults, origin);
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(), ForeignLocation);
    // Nothing was sent to the address named, on either server.
    QVERIFY(!serverLog().contains("PATCH "));
    QVERIFY(!tlsServer.output().contains("PATCH "));
}

void TestTransferFaults::checksumIsSentWhenOffered_data()
{
    QTest::addColumn<QString>("algorithm");

    // The server offers "sha1,sha256" and "md5,sha1" respectively.
    QTest::newRow("sha256") << QStringLiteral("sha256");
    QTest::newRow("sha1") << QStringLiteral("sha1");
}

void TestTransferFaults::checksumIsSentWhenOffered()
{
    QFETCH(QString, algorithm);

    const QString path = sourceFile(QStringLiteral("checked.bin"), 40 * MiB);
    agent();
    const QString id = upload(path, algorithm);
    verifyArrivedOnce(id, path);
    const QByteArray verified = " checksum=" + algorithm.toLatin1() + ":ok";
    QVERIFY(serverLogged(verified));
    const QList<QByteArray> patches = served("PATCH");
    QCOMPARE(patches.size(), 2);
    for (const QByteArray& patch : patches) {
        QVERIFY2(patch.endsWith(verified), patch.constData());
    }
}

void TestTransferFaults::changedSourceLeavesNothingTorn_data()
{
    QTest::addColumn<QString>("change");

    QTest::newRow("appended") << QStringLiteral("appended");
    QTest::newRow("truncated") << QStringLiteral("truncated");
    QTest::newRow("replaced in place") << QStringLiteral("replaced");
}

void TestTransferFaults::changedSourceLeavesNothingTorn()
{
    QFETCH(QString, change);

    const QString path = sourceFile(QStringLiteral("changing.bin"), 16 * MiB);
    qputenv(RateLimitVariable, SlowBytesPerSecond);
    agent();
    const QString id = upload(path, QStringLiteral("ok"));
    QVERIFY(TransferWatch::waitForBytes(*m_agent, id));
    QFile file(path);
    if (change == QLatin1String("appended")) {
        QVERIFY(file.open(QIODevice::Append));
        QCOMPARE(file.write(QByteArray(MiB, 'a')), MiB);
    } else if (change == QLatin1String("truncated")) {
        QVERIFY(file.resize(MiB));
    } else {
        // Same size, other bytes, written over the old ones while they are being read.
        QVERIFY(file.open(QIODevice::ReadWrite));
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(file.write(QByteArray(MiB, 'r')), MiB);
        }
    }
    file.close();
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(), FileChanged);
    // The upload begun is removed from the server, whatever it holds.
    QVERIFY(serverLogged("DELETE "));
    QVERIFY(uploadsOnServer().isEmpty());
}

void TestTransferFaults::interruptedDownloadResumesWithRange_data()
{
    QTest::addColumn<QString>("faults");

    QTest::newRow("truncated body") << QStringLiteral("truncate");
    QTest::newRow("stalled body") << QStringLiteral("stall");
}

void TestTransferFaults::interruptedDownloadResumesWithRange()
{
    QFETCH(QString, faults);

    qputenv(StallSecondsVariable, ShortStallSeconds);
    const QString served = m_serverFolder.filePath(QStringLiteral("interrupted.bin"));
    QVERIFY(writeRandomFile(served, 4 * MiB, 20));
    agent();
    const QString id = download(QStringLiteral("interrupted.bin"), faults);
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Done));
    QVERIFY(serverLogged("range=bytes=2097152- status=206"));
    QCOMPARE(sha256Of(m_downloads + QStringLiteral("/interrupted.bin")), sha256Of(served));
    QVERIFY(!QFile::exists(m_downloads + QStringLiteral("/interrupted.bin.part")));
}

void TestTransferFaults::newETagMidDownloadRestartsFromZero()
{
    // Two versions of one size: only the ETag tells them apart.
    const QString first = m_serverFolder.filePath(QStringLiteral("versions.bin"));
    QVERIFY(writeRandomFile(first, 4 * MiB, 21));
    QVERIFY(writeRandomFile(first + QStringLiteral(".next"), 4 * MiB, 22));
    agent();
    const QString id = download(QStringLiteral("versions.bin"), QStringLiteral("etag-change"));
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Done));
    QVERIFY(serverLogged("range=bytes=2097152- status=200"));
    QCOMPARE(sha256Of(m_downloads + QStringLiteral("/versions.bin")), sha256Of(first + QStringLiteral(".next")));
}

void TestTransferFaults::fullDiskFailsAndKeepsThePart_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("bytesKept");

    // 8 MiB of disk beyond the margin kept free, 4 MiB of it taken.
    QTest::newRow("announced larger than the free space") << QStringLiteral("ok") << 6 * MiB << false;
    QTest::newRow("full while writing") << QStringLiteral("no-length") << 6 * MiB << true;
}

void TestTransferFaults::fullDiskFailsAndKeepsThePart()
{
    QFETCH(QString, faults);
    QFETCH(qint64, size);
    QFETCH(bool, bytesKept);

    if (geteuid() != 0) {
        QSKIP("mounting a small file system as the Downloads folder needs root");
    }
    QVERIFY(mountTmpfs(m_downloads, 8 * MiB + DownloadSink::FreeSpaceMarginBytes));
    m_mounted = m_downloads;
    const QString filler = m_downloads + QStringLiteral("/filler");
    QVERIFY(writeRandomFile(filler, 4 * MiB, 23));
    const QString served = m_serverFolder.filePath(QStringLiteral("big.bin"));
    QVERIFY(writeRandomFile(served, size, 24));
    agent();
    const QString id = download(QStringLiteral("big.bin"), faults);
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(), DiskFull);
    const QString part = m_downloads + QStringLiteral("/big.bin.part");
    QVERIFY(QFile::exists(part));
    QCOMPARE(QFileInfo(part).size() > 0, bytesKept);
    QVERIFY(QStorageInfo(m_downloads).bytesAvailable() >= DownloadSink::FreeSpaceMarginBytes);
    QVERIFY(!QFile::exists(m_downloads + QStringLiteral("/big.bin")));

    // With room again, the part is resumed where it ended.
    QVERIFY(QFile::remove(filler));
    const qint64 kept = QFileInfo(part).size();
    m_agent->resume(id, nullptr);
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Done));
    QCOMPARE(sha256Of(m_downloads + QStringLiteral("/big.bin")), sha256Of(served));
    if (bytesKept) {
        QVERIFY(serverLogged("range=bytes=" + QByteArray::number(kept) + "- status=206"));
    }
}

void TestTransferFaults::unreadableStoreIsKeptAsideAndTheAgentWorks_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray garbage(4096, '\0');
    QRandomGenerator random(25);
    random.fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / int(sizeof(quint32)));
    QTest::newRow("truncated") << QByteArrayLiteral("{\"nextId\": 3, \"transfers\": [ {\"id\": ");
    QTest::newRow("garbage") << garbage;
    QTest::newRow("garbage rows") << QByteArrayLiteral("{\"nextId\": 3, \"transfers\": [{\"id\": \"t1\"}, 42, \"x\"]}");
}

void TestTransferFaults::unreadableStoreIsKeptAsideAndTheAgentWorks()
{
    QFETCH(QByteArray, content);

    QVERIFY(QDir().mkpath(m_data));
    const QByteArray earlier = QByteArrayLiteral("kept aside before");
    QFile earlierBad(m_data + QStringLiteral("/transfers.json.bad"));
    QVERIFY(earlierBad.open(QIODevice::WriteOnly) && earlierBad.write(earlier) == earlier.size());
    earlierBad.close();
    QFile store(m_data + QStringLiteral("/transfers.json"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    QCOMPARE(store.write(content), content.size());
    store.close();
    agent();
    QVERIFY(m_agent->list().isEmpty());
    QVERIFY(earlierBad.open(QIODevice::ReadOnly));
    QCOMPARE(earlierBad.readAll(), earlier);
    QFile bad(m_data + QStringLiteral("/transfers.json.bad.1"));
    QVERIFY(bad.open(QIODevice::ReadOnly));
    QCOMPARE(bad.readAll(), content);

    const QString path = sourceFile(QStringLiteral("after.bin"), 2 * MiB);
    const QString id = upload(path, QStringLiteral("ok"));
    verifyArrivedOnce(id, path);
}

void TestTransferFaults::fullDataFolderKeepsTheStore()
{
    if (geteuid() != 0) {
        QSKIP("mounting a small file system as the data folder needs root");
    }
    QVERIFY(QDir().mkpath(m_data));
    QVERIFY(mountTmpfs(m_data, 64 * 1024));
    m_mounted = m_data;
    agent();
    const QString id = download(QStringLiteral("missing.bin"), QStringLiteral("ok"));
    QFile filler(m_data + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'f')) > 0) { }
    // Its failure (404) is saved on a full disk; the transfer outlives a restart all the same.
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    agent();
    QCOMPARE(m_agent->list().size(), 1);
}

void TestTransferFaults::nonsenseFailsAfterTheLimit_data()
{
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QByteArray>("counted");
    QTest::addColumn<QString>("error");

    QTest::newRow("416 to every GET") << QStringLiteral("416") << QByteArrayLiteral("GET")
                                      << QStringLiteral("gave up after 10 restarts: server answered 416");
    QTest::newRow("404 to every PATCH") << QStringLiteral("lose") << QByteArrayLiteral("POST")
                                        << QStringLiteral("gave up after 10 restarts: the server lost the upload");
    QTest::newRow("409 to every PATCH") << QStringLiteral("conflict-always") << QByteArrayLiteral("PATCH")
                                        << QStringLiteral("server answered 409");
}

void TestTransferFaults::nonsenseFailsAfterTheLimit()
{
    QFETCH(QString, faults);
    QFETCH(QByteArray, counted);
    QFETCH(QString, error);

    qputenv(RetryDelay::CeilingVariable, ShortRetryCeilingMs);
    QVERIFY(writeRandomFile(m_serverFolder.filePath(QStringLiteral("nonsense.bin")), MiB, 28));
    agent();
    const QString id = counted == "GET" ? download(QStringLiteral("nonsense.bin"), faults)
                                        : upload(sourceFile(QStringLiteral("nonsense.bin"), MiB), faults);
    QVERIFY(TransferWatch::waitForState(*m_agent, id, Failed));
    QCOMPARE(transfer(id).value(QStringLiteral("error")).toString(), error);
    // The first attempt and one after each wait, no more.
    QTRY_COMPARE_WITH_TIMEOUT(served(counted).size(), RetryDelay::MaxAttempts + 1, ServerLogTimeoutMs);
}

void TestTransferFaults::linksInTheDownloadFolderAreNotFollowed_data()
{
    QTest::addColumn<QString>("moment");
    QTest::addColumn<QString>("planted");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("state");

    // A link planted in Downloads, pointing outside: nowhere yet, or at the user's own file.
    QTest::newRow("dangling part") << QStringLiteral("before") << QStringLiteral("evil.bin.part")
                                   << QStringLiteral("nowhere.bin") << Done;
    QTest::newRow("dangling final name") << QStringLiteral("started") << QStringLiteral("evil.bin")
                                         << QStringLiteral("nowhere.bin") << Done;
    QTest::newRow("page's final name") << QStringLiteral("page") << QStringLiteral("evil.bin")
                                       << QStringLiteral("nowhere.bin") << Done;
    QTest::newRow("part swapped while paused")
        << QStringLiteral("paused") << QStringLiteral("evil.bin.part") << QStringLiteral("victim.bin") << Failed;
}

void TestTransferFaults::linksInTheDownloadFolderAreNotFollowed()
{
    QFETCH(QString, moment);
    QFETCH(QString, planted);
    QFETCH(QString, target);
    QFETCH(QString, state);

    const QString served = m_serverFolder.filePath(QStringLiteral("evil.bin"));
    QVERIFY(writeRandomFile(served, 4 * MiB, 26));
    const QString outside = m_work->filePath(QStringLiteral("outside"));
    const QString victim = outside + QStringLiteral("/victim.bin");
    QVERIFY(QDir().mkpath(outside) && writeRandomFile(victim, MiB, 27));
    const QByteArray victimHash = sha256Of(victim);
    const auto plant = [&] {
        const QString link = m_downloads + QLatin1Char('/') + planted;
        QFile::remove(link);
        return QFile::link(outside + QLatin1Char('/') + target, link);
    };
    qputenv(RateLimitVariable, SlowBytesPerSecond);
    agent();
    QString id;
    if (moment == QLatin1String("page")) {
        const TransferAgent::PageDownload page =
            m_agent->addPageDownload(planted, QUrl(m_server.origin()), 4 * MiB, m_server.origin());
        QVERIFY(QFile::remove(page.partPath) && QFile::copy(served, page.partPath) && plant());
        id = page.id;
        m_agent->pageDownloadEnded(id, QString());
    } else {
        QVERIFY(moment != QLatin1String("before") || plant());
        id = download(QStringLiteral("evil.bin"), QStringLiteral("ok"));
        QVERIFY(moment != QLatin1String("started") || plant());
    }
    if (moment == QLatin1String("paused")) {
        QVERIFY(TransferWatch::waitForBytes(*m_agent, id));
        m_agent->pause(id);
        QVERIFY(plant());
        m_agent->resume(id, nullptr);
    }
    QVERIFY(TransferWatch::waitForState(*m_agent, id, state));
    QCOMPARE(QDir(outside).entryList(QDir::Files), QStringList {QStringLiteral("victim.bin")});
    QCOMPARE(sha256Of(victim), victimHash);
    if (state == Done) {
        QCOMPARE(sha256Of(m_downloads + QStringLiteral("/evil (1).bin")), sha256Of(served));
    }
}

NORV_TEST_MAIN(TestTransferFaults)
#include "tst_transferfaults.moc"
