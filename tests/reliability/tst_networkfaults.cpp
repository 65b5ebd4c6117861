// The transfer agent against a real tus server while the network fails: the server is killed
// and started again, a relay cuts every connection after a few MiB, or lets only a trickle
// through. Each upload completes by itself, with nothing done by the page, and arrives identical.
#include "common/CategoryLog.h"
#include "common/NodePeer.h"
#include "common/TcpRelay.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "core/transfer/CertificateTrust.h"
#include "core/transfer/Grants.h"
#include "core/transfer/TransferAgent.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

#include <memory>

namespace {
using TestData::sha256Of;
const qint64 MiB = 1024 * 1024;
const int TransferTimeoutMs = 240000;
const char* const TransferCategory = "tessel.transfer";
const QString RetryLine = QStringLiteral("transfer retries in");

// At most what the kernel holds between the agent and the relay: the sender's largest send
// buffer and the receiver's starting receive buffer (the relay reads too slowly to grow it).
qint64 kernelBufferedBytes()
{
    const auto limit = [](const char* path, int field) {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().simplified().split(' ').value(field).toLongLong() : 0;
    };
    const qint64 fallback = 4 * MiB + 128 * 1024;
    const qint64 read = limit("/proc/sys/net/ipv4/tcp_wmem", 2) + limit("/proc/sys/net/ipv4/tcp_rmem", 1);
    return read > 0 ? read : fallback;
}
} // namespace

class TestNetworkFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void uploadOutlivesARestartOfTheServer();
    void uploadOutlivesCutConnections();
    void trickleIsNotTakenForAStall();

private:
    // Starts the agent and an upload of a new file of that size to the server at origin.
    QString startUpload(qint64 size, const QString& origin);
    QString state(const QString& id) const;
    bool waitUntilDone(const QString& id) const;
    // The one upload the tus server's store holds, empty unless there is exactly one.
    QString storedUpload() const;

    std::unique_ptr<QTemporaryDir> m_work;
    QString m_store;
    QString m_path;
    NodePeer m_tus;
    CertificateTrust m_trust;
    Grants m_grants;
    std::unique_ptr<TransferAgent> m_agent;
};

void TestNetworkFaults::init()
{
    m_work = std::make_unique<QTemporaryDir>();
    m_store = m_work->filePath(QStringLiteral("store"));
    m_path = m_work->filePath(QStringLiteral("upload.bin"));
    QVERIFY2(m_tus.startTusServer(m_store), "the tus server did not start");
}

void TestNetworkFaults::cleanup()
{
    m_agent.reset();
    m_tus.kill();
    qunsetenv("NORV_TRANSFER_RATE_LIMIT");
    qunsetenv("NORV_TRANSFER_STALL_SECONDS");
}

QString TestNetworkFaults::startUpload(qint64 size, const QString& origin)
{
    if (!TestData::writeRandomFile(m_path, size, quint32(size))) {
        return {};
    }
    m_agent = std::make_unique<TransferAgent>(
        m_work->filePath(QStringLiteral("data")), m_work->filePath(QStringLiteral("Downloads")), &m_trust, &m_grants);
    m_grants.grantUpload(origin, m_path);
    return m_agent->startUpload(m_path, QUrl(origin + QStringLiteral("/files/")), {}, {}, origin)
        .transfer.value(QStringLiteral("id"))
        .toString();
}

QString TestNetworkFaults::state(const QString& id) const
{
    for (const QJsonValue& value : m_agent->list()) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id) {
            return value.toObject().value(QStringLiteral("state")).toString();
        }
    }
    return {};
}

bool TestNetworkFaults::waitUntilDone(const QString& id) const
{
    // Nothing is resumed by hand: a failed transfer is a failed test.
    const bool done =
        QTest::qWaitFor([&] { return state(id) != QLatin1String("running") && state(id) != QLatin1String("queued"); },
                        TransferTimeoutMs);
    if (!done || state(id) != QLatin1String("done")) {
        qWarning() << "transfer" << id << "ended" << m_agent->list();
        return false;
    }
    return true;
}

QString TestNetworkFaults::storedUpload() const
{
    const QStringList infos = QDir(m_store).entryList({QStringLiteral("*.json")});
    return infos.size() == 1 ? m_store + QLatin1Char('/') + QFileInfo(infos.first()).completeBaseName() : QString();
}

void TestNetworkFaults::uploadOutlivesARestartOfTheServer()
{
    CategoryLog log(TransferCategory);
    // Slow enough for the server to die in the middle.
    qputenv("NORV_TRANSFER_RATE_LIMIT", QByteArray::number(4 * MiB));
    const QString id = startUpload(16 * MiB, m_tus.origin());
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(storedUpload()).size() > 0; }, TransferTimeoutMs));
    const QString port = QString::number(m_tus.port());
    m_tus.kill();
    // The request broken by the kill and one attempt while the server was down.
    QVERIFY(QTest::qWaitFor([&] { return log.linesWith(RetryLine).size() >= 2; }, TransferTimeoutMs));
    QVERIFY2(m_tus.start(QStringLiteral("tus-server.mjs"), {m_store, port}), "the tus server did not start again");

    QVERIFY(waitUntilDone(id));
    QVERIFY2(!storedUpload().isEmpty(), "the upload was started anew instead of resumed");
    QCOMPARE(sha256Of(storedUpload()), sha256Of(m_path));
}

void TestNetworkFaults::uploadOutlivesCutConnections()
{
    const qint64 fileBytes = 24 * MiB;
    const qint64 cutBytes = 2 * MiB;
    TcpRelay relay;
    QVERIFY(relay.start(m_tus.port(), {cutBytes, 0}));
    const QString id = startUpload(fileBytes, relay.origin());

    QVERIFY(waitUntilDone(id));
    QVERIFY(relay.connectionsCut() >= fileBytes / cutBytes - 1);
    QCOMPARE(sha256Of(storedUpload()), sha256Of(m_path));
    qInfo() << relay.connectionsCut() << "connections cut;" << relay.bytesToServer() << "bytes reached the server for"
            << fileBytes;
}

void TestNetworkFaults::trickleIsNotTakenForAStall()
{
    CategoryLog log(TransferCategory);
    // The agent sees bytes move as long as the kernel takes them; once the whole body is
    // handed over, the kernel's send buffer (up to its maximum) still drains through the
    // trickle. The stall limit must outlast that, and the one request many times the limit.
    const qint64 bytesPerSecond = 512 * 1024;
    const int stallSeconds = int(kernelBufferedBytes() / bytesPerSecond) + 2;
    qputenv("NORV_TRANSFER_STALL_SECONDS", QByteArray::number(stallSeconds));
    TcpRelay relay;
    QVERIFY(relay.start(m_tus.port(), {0, bytesPerSecond}));
    const QString id = startUpload(2 * stallSeconds * bytesPerSecond, relay.origin());

    QVERIFY(waitUntilDone(id));
    QCOMPARE(log.linesWith(RetryLine), QStringList());
    QCOMPARE(sha256Of(storedUpload()), sha256Of(m_path));
}

NORV_TEST_MAIN(TestNetworkFaults)
#include "tst_networkfaults.moc"
