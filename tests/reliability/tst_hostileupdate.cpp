// A hostile update server: an endless body, a body that never finishes, gzip bombs and
// download addresses that are not web addresses. Every check must end, within the body
// limit, and nothing but a web address is ever opened.
#include "app/CMainWindow.h"
#include "common/ShellFixture.h"
#include "common/TestCertificates.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "common/TlsTestServer.h"
#include "update/CCheckUpdateUI.h"
#include "update/CThread.h"

#include <QDesktopServices>
#include <QProcess>
#include <QSignalSpy>
#include <QSslSocket>

#include <functional>

namespace {
// What the client accepts as a version file at most.
const int BodyLimit = 1024 * 1024;
const int ChunkBytes = 64 * 1024;
// The endless body ends here, so the test itself stays bounded if the client never stops reading.
const qint64 EndlessBodyCap = 256LL * 1024 * 1024;
// A check must end by then, even when the server stops sending mid-body.
const int CheckTimeoutMs = 60000;
const int GzipBombBytes = 256 * 1024 * 1024;

// An HTTPS server on loopback that answers every request with the test's behaviour.
class HostileServer : public TlsTestServer
{
public:
    explicit HostileServer(Handler behaviour)
        : TlsTestServer(std::move(behaviour))
    {
        serveUpdateChecks();
    }
};

QByteArray head(const QByteArray& extraFields)
{
    return TlsTestServer::head(200, extraFields);
}

// Keeps writing while the client keeps reading, up to the cap.
void sendEndlessBody(QSslSocket* socket)
{
    socket->write(head({}));
    auto* sent = new qint64(0);
    QObject::connect(socket, &QObject::destroyed, [sent] { delete sent; });
    const auto refill = [socket, sent] {
        while (socket->bytesToWrite() < 4 * ChunkBytes && *sent < EndlessBodyCap) {
            socket->write(QByteArray(ChunkBytes, ' '));
            *sent += ChunkBytes;
        }
    };
    QObject::connect(socket, &QSslSocket::encryptedBytesWritten, socket, refill);
    refill();
}

QByteArray gzip(const QByteArray& bytes)
{
    QProcess compressor;
    compressor.start(QStringLiteral("gzip"), {QStringLiteral("-c")});
    compressor.write(bytes);
    compressor.closeWriteChannel();
    compressor.waitForFinished();
    return compressor.readAllStandardOutput();
}

// The update dialog without its modal loop: the labels and the download address already
// hold the result when it would be shown.
class QuietUpdateDialog : public CCheckUpdateUI
{
public:
    QuietUpdateDialog()
        : CCheckUpdateUI(false)
    {
    }
    int exec() override { return Accepted; }
};

struct Answer
{
    bool arrived = false;
    int status = -1;
    QByteArray body;
};
} // namespace

class TestHostileUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void endlessBodyIsCutAtTheLimit();
    void stalledBodyEndsTheCheck();
    void gzipBombIsCutAtTheLimit_data();
    void gzipBombIsCutAtTheLimit();
    void onlyWebDownloadAddressesOpen_data();
    void onlyWebDownloadAddressesOpen();

public slots:
    void recordOpened(const QUrl& url) { m_opened << url; }

private:
    Answer check();

    CMainWindow* m_window = nullptr;
    QuietUpdateDialog* m_dialog = nullptr;
    CThread* m_worker = nullptr;
    QList<QUrl> m_opened;
};

void TestHostileUpdate::initTestCase()
{
    // Trust the test authority in this process only; verification itself stays on.
    TestCertificates::trustTestAuthority();
    // The dialog takes its texts from the main window; nothing else of the shell is used, nor shown.
    m_window = ShellFixture::build();
    m_dialog = new QuietUpdateDialog;
    m_worker = new CThread;
    m_worker->dialog = m_dialog;
    for (const char* scheme : {"https", "http", "file", "smb", "javascript", "ftp"}) {
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "recordOpened");
    }
}

void TestHostileUpdate::cleanupTestCase()
{
    for (const char* scheme : {"https", "http", "file", "smb", "javascript", "ftp"}) {
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    delete m_worker;
    delete m_dialog;
    ShellFixture::stop(m_window);
}

Answer TestHostileUpdate::check()
{
    QSignalSpy arrived(m_worker, &CThread::sig_versionFileArrived);
    m_dialog->beginCheck();
    m_worker->slot_Checkupdate();
    Answer result;
    result.arrived = arrived.wait(CheckTimeoutMs);
    if (result.arrived) {
        result.status = arrived.first().at(1).toInt();
        result.body = arrived.first().at(2).toByteArray();
    }
    return result;
}

void TestHostileUpdate::endlessBodyIsCutAtTheLimit()
{
    HostileServer server(sendEndlessBody);
    const Answer answer = check();
    QVERIFY(answer.arrived);
    QCOMPARE(answer.status, 0);
    QVERIFY(answer.body.isEmpty());
}

void TestHostileUpdate::stalledBodyEndsTheCheck()
{
    // Promises a whole version file, sends a few bytes of it, then neither sends nor closes.
    HostileServer server([](QSslSocket* socket) { socket->write(head("Content-Length: 4096\r\n") + "{\"win32\""); });
    const Answer answer = check();
    QVERIFY2(answer.arrived, "a server that stops sending mid-body holds the check forever");
    QVERIFY(answer.status != 200 || answer.body.size() < 4096);
}

void TestHostileUpdate::gzipBombIsCutAtTheLimit_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::newRow("gzip") << QByteArray("gzip");
    QTest::newRow("x-gzip") << QByteArray("x-gzip");
}

void TestHostileUpdate::gzipBombIsCutAtTheLimit()
{
    QFETCH(QByteArray, encoding);
    // A quarter of a GiB of spaces is valid JSON padding and compresses a thousandfold.
    static const QByteArray bomb =
        gzip(TestData::versionFile(QStringLiteral("9.9.9"), QStringLiteral("https://dl.example/x"))
             + QByteArray(GzipBombBytes, ' '));
    QVERIFY(!bomb.isEmpty());
    HostileServer server([encoding](QSslSocket* socket) {
        TlsTestServer::answer(socket, 200, bomb, "Content-Encoding: " + encoding + "\r\n");
    });
    const Answer result = check();
    QVERIFY(result.arrived);
    QVERIFY2(result.body.size() <= BodyLimit, qPrintable(QString::number(result.body.size())));
    // Either decompressed and cut at the limit, or not decoded at all (Qt leaves x-gzip alone).
    QVERIFY(result.status == 0 || !result.body.startsWith('{'));
}

void TestHostileUpdate::onlyWebDownloadAddressesOpen_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("opens");
    QTest::newRow("https") << QStringLiteral("https://dl.example/client") << true;
    QTest::newRow("file") << QStringLiteral("file:///etc/passwd") << false;
    QTest::newRow("smb") << QStringLiteral("smb://attacker.example/share/setup.exe") << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert(1)") << false;
    QTest::newRow("relative") << QStringLiteral("/etc/passwd") << false;
    QTest::newRow("upper-case file") << QStringLiteral("FILE:///etc/passwd") << false;
    QTest::newRow("spaces before") << QStringLiteral("  file:///etc/passwd") << false;
}

void TestHostileUpdate::onlyWebDownloadAddressesOpen()
{
    QFETCH(QString, address);
    QFETCH(bool, opens);
    const QByteArray body = TestData::versionFile(QStringLiteral("99.0.0"), address);
    HostileServer server([body](QSslSocket* socket) { TlsTestServer::answer(socket, 200, body); });
    const Answer result = check();
    QVERIFY(result.arrived);
    QCOMPARE(result.status, 200);
    m_opened.clear();
    m_dialog->replyFinished(m_dialog->requestedCheck(), result.status, result.body);
    QVERIFY(m_dialog->newVersionFound);
    m_dialog->Slot_ButtonOK();
    QCOMPARE(m_opened.size(), opens ? 1 : 0);
}

NORV_TEST_MAIN(TestHostileUpdate)
#include "tst_hostileupdate.moc"
