// The client is killed with SIGKILL, or quit from its tray menu, in the middle of an upload
// or a download and started again: the page resumes the transfer with fresh credentials, it
// continues from the server's offset or the bytes on disk, and what arrives is identical.
#include "common/DesktopSession.h"
#include "common/LocalService.h"
#include "common/NodePeer.h"
#include "common/ProcessSet.h"
#include "common/RawHttp.h"
#include "common/TcpRelay.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace {
using TestData::sha256Of;
const qint64 FileBytes = 24 * 1024 * 1024;
const int ReplyTimeoutMs = 60000;
const int TransferTimeoutMs = 180000;
const QByteArray Credentials = QByteArrayLiteral("{\"Authorization\": \"Bearer fresh\"}");
const qint64 MiB = 1024 * 1024;
const qint64 ManyKillsFileBytes = 256 * MiB;
const int Kills = 20;
// At the killed runs' rate the agent's PATCH requests carry this much: requests grow only on a fast link.
const qint64 RequestBytes = 32 * MiB;
// At 8 MiB/s a kill at most 1.5 s after the resume leaves at most 12 MiB a run: twenty runs
// never finish the file, whatever the draw.
const QByteArray KilledRunBytesPerSecond = QByteArray::number(8 * MiB);
const int LatestKillMs = 1500;
// Where the file server holds back the rest of the first answer (tests/node/range-server.mjs).
const qint64 HeldAtBytes = FileBytes / 2;
const char* const SeedVariable = "NORV_TEST_SEED";

const QString DialogName = QStringLiteral("^Open$");
const int DialogCloseMs = 5000;

bool xdotool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(ReplyTimeoutMs) && process.exitCode() == 0;
}

bool dialogShown()
{
    return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), DialogName});
}

// Chooses path in the client's open-files dialog, as the user would: types it into the file name
// field and presses Return. Under load two things go wrong, and each round mends both: a completion
// list opened by the typing takes a Return for itself, so Return is pressed twice; and the dialog may
// take the path for its folder, change to that folder and empty the field, so the path is typed
// again over whatever the field holds.
void chooseInDialog(const QString& path)
{
    QVERIFY(xdotool({QStringLiteral("search"),
                     QStringLiteral("--sync"),
                     QStringLiteral("--onlyvisible"),
                     QStringLiteral("--name"),
                     DialogName,
                     QStringLiteral("windowactivate"),
                     QStringLiteral("--sync")}));
    QElapsedTimer clock;
    clock.start();
    while (dialogShown() && clock.elapsed() < ReplyTimeoutMs) {
        QVERIFY(xdotool({QStringLiteral("key"),
                         QStringLiteral("ctrl+a"),
                         QStringLiteral("type"),
                         QStringLiteral("--delay"),
                         QStringLiteral("1"),
                         path}));
        for (int press = 0; press < 2 && dialogShown(); ++press) {
            QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
            QTest::qWaitFor([] { return !dialogShown(); }, DialogCloseMs);
        }
    }
}

// A file of FileBytes whose mebibytes repeat the letters from first on, so a misplaced piece shows.
bool writeLetters(const QString& path, char first)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (qint64 written = 0; written < FileBytes; written += 1024 * 1024) {
        file.write(QByteArray(1024 * 1024, char(first + written / (1024 * 1024) % 26)));
    }
    return file.flush();
}

// The transfer as the client stored it in its data folder.
QJsonObject storedTransfer(const QString& id)
{
    QFile file(TestEnvironment::homeFolder() + QStringLiteral("/.local/share/norv-client/transfers.json"));
    file.open(QIODevice::ReadOnly);
    for (const QJsonValue& value :
         QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("transfers")).toArray()) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id) {
            return value.toObject();
        }
    }
    return {};
}

// Resumes the transfer with fresh credentials, as the page does after a restart.
bool resume(LocalService& service, const QString& id)
{
    return service.send("POST", "/transfers/" + id.toLatin1() + "/resume", "{\"headers\": " + Credentials + '}').first
        == 200;
}

// Resumes the transfer and waits until it is done.
bool resumeUntilDone(LocalService& service, const QString& id)
{
    if (!resume(service, id)) {
        return false;
    }
    return QTest::qWaitFor(
        [&] { return service.transfer(id).value(QStringLiteral("state")).toString() == QLatin1String("done"); },
        TransferTimeoutMs);
}

// Picks the file in the client's dialog and asks for its upload to endpoint; the transfer's id.
QString startUpload(LocalService& service, const QString& path, const QString& endpoint)
{
    const auto picked = service.send("POST", "/pick/files", {}, [&] { chooseInDialog(path); });
    if (picked.first != 200) {
        return {};
    }
    const QJsonObject upload {{QStringLiteral("path"), path}, {QStringLiteral("endpoint"), endpoint}};
    const auto created = service.send("POST",
                                      "/transfers",
                                      "{\"upload\": " + QJsonDocument(upload).toJson(QJsonDocument::Compact)
                                          + ", \"headers\": " + Credentials + '}');
    return created.first == 201
        ? QJsonDocument::fromJson(created.second).object().value(QStringLiteral("id")).toString()
        : QString();
}

// The data file of the one upload the tus server's store holds, empty unless there is exactly one.
QString storedUpload(const QString& store)
{
    const QStringList infos = QDir(store).entryList({QStringLiteral("*.json")});
    return infos.size() == 1 ? store + QLatin1Char('/') + QFileInfo(infos.first()).completeBaseName() : QString();
}
} // namespace

class TestKilledTransfer : public QObject
{
    Q_OBJECT

private slots:
    void uploadContinuesAfterTheClientEnds_data();
    void uploadContinuesAfterTheClientEnds();
    void uploadSurvivesKillsAtRandomMoments();
    void downloadContinuesAfterSigkill();
};

void TestKilledTransfer::uploadContinuesAfterTheClientEnds_data()
{
    QTest::addColumn<bool>("quitFromTray");
    QTest::newRow("SIGKILL") << false;
    // The exit routine pauses the upload itself and stores that.
    QTest::newRow("Quit from the tray") << true;
}

void TestKilledTransfer::uploadContinuesAfterTheClientEnds()
{
    QFETCH(bool, quitFromTray);
    QTemporaryDir work;
    const QString store = work.filePath(QStringLiteral("store"));
    NodePeer tus;
    QVERIFY2(tus.startTusServer(store), "the tus server did not start");
    const QString path = work.filePath(QStringLiteral("upload.bin"));
    QVERIFY(writeLetters(path, 'A'));

    // Slow enough to be ended in the middle.
    qputenv("NORV_TRANSFER_RATE_LIMIT", "4194304");
    // The page comes from the tus server's origin, which must be a saved server of the client's.
    QVERIFY(TestEnvironment::storeClientServer(tus.origin(), false));
    ProcessSet processes;
    QProcess* client = processes.start(TestEnvironment::clientPath());
    LocalService service;
    service.origin = tus.origin().toLatin1();
    QVERIFY2(service.attach(client), "the client's local service did not start");

    const QString id = startUpload(service, path, tus.origin() + QStringLiteral("/files/"));
    QVERIFY(!id.isEmpty());

    // Ended once the server holds part of the file.
    const auto storedData = [&] {
        return storedUpload(store);
    };
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(storedData()).size() > 0; }, TransferTimeoutMs));
    if (quitFromTray) {
        QVERIFY(DesktopSession::quitFromTrayMenu());
        QVERIFY(client->waitForFinished(ReplyTimeoutMs));
        QCOMPARE(client->exitCode(), 0);
        QCOMPARE(storedTransfer(id).value(QStringLiteral("state")).toString(), QStringLiteral("paused"));
    } else {
        client->kill();
        QVERIFY(client->waitForFinished(ReplyTimeoutMs));
    }
    const QString firstUpload = storedData();
    QVERIFY(QFileInfo(firstUpload).size() < FileBytes);

    qunsetenv("NORV_TRANSFER_RATE_LIMIT");
    QProcess* restarted = processes.start(TestEnvironment::clientPath());
    QVERIFY2(service.attach(restarted), "the restarted client's local service did not start");
    QCOMPARE(service.transfer(id).value(QStringLiteral("state")).toString(), QStringLiteral("paused"));
    QCOMPARE(service.transfer(id).value(QStringLiteral("error")).toString(), QStringLiteral("sign-in needed"));

    QVERIFY(resumeUntilDone(service, id));
    QCOMPARE(storedData(), firstUpload);
    QCOMPARE(sha256Of(firstUpload), sha256Of(path));
}

void TestKilledTransfer::uploadSurvivesKillsAtRandomMoments()
{
    QTemporaryDir work;
    const QString store = work.filePath(QStringLiteral("store"));
    NodePeer tus;
    QVERIFY2(tus.startTusServer(store), "the tus server did not start");
    // Counts what the server receives.
    TcpRelay relay;
    QVERIFY(relay.start(tus.port()));
    const QString path = work.filePath(QStringLiteral("upload.bin"));
    QVERIFY(TestData::writeRandomFile(path, ManyKillsFileBytes, 256));
    const quint32 seed = qEnvironmentVariableIsSet(SeedVariable) ? qEnvironmentVariableIntValue(SeedVariable)
                                                                 : QRandomGenerator::global()->generate();
    qInfo().noquote() << QStringLiteral("kill moments drawn with %1=%2").arg(QLatin1String(SeedVariable)).arg(seed);
    QRandomGenerator moments(seed);

    qputenv("NORV_TRANSFER_RATE_LIMIT", KilledRunBytesPerSecond);
    QVERIFY(TestEnvironment::storeClientServer(relay.origin(), false));
    ProcessSet processes;
    LocalService service;
    service.origin = relay.origin().toLatin1();
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QVERIFY2(service.attach(client), "the client's local service did not start");
    const QString id = startUpload(service, path, relay.origin() + QStringLiteral("/files/"));
    QVERIFY(!id.isEmpty());
    QStringList held;
    for (int kill = 1; kill <= Kills; ++kill) {
        // The moment is the point of the test: anywhere from the first request to deep into a PATCH.
        const int moment = int(moments.bounded(LatestKillMs));
        QTest::qWait(moment);
        client->kill();
        QVERIFY(client->waitForFinished(ReplyTimeoutMs));
        held.append(QStringLiteral("%1 ms: %2").arg(moment).arg(QFileInfo(storedUpload(store)).size()));
        if (kill == Kills) {
            qunsetenv("NORV_TRANSFER_RATE_LIMIT");
        }
        client = processes.start(TestEnvironment::clientPath());
        QVERIFY2(service.attach(client), "the restarted client's local service did not start");
        QCOMPARE(service.transfer(id).value(QStringLiteral("state")).toString(), QStringLiteral("paused"));
        QVERIFY(kill == Kills || resume(service, id));
    }
    qInfo().noquote() << "killed after the resume at, and bytes the server held:" << held.join(QStringLiteral(", "));
    QVERIFY2(QFileInfo(storedUpload(store)).size() < ManyKillsFileBytes, "the upload ended before the last kill");

    QVERIFY(resumeUntilDone(service, id));
    QCOMPARE(sha256Of(storedUpload(store)), sha256Of(path));
    qInfo() << relay.bytesToServer() << "bytes reached the server for a file of" << ManyKillsFileBytes;
    QVERIFY(relay.bytesToServer() <= ManyKillsFileBytes + RequestBytes);
}

void TestKilledTransfer::downloadContinuesAfterSigkill()
{
    QTemporaryDir served;
    const QString source = served.filePath(QStringLiteral("big.bin"));
    QVERIFY(writeLetters(source, 'a'));
    NodePeer files;
    QVERIFY2(files.start(QStringLiteral("range-server.mjs"), {served.path()}), "the file server did not start");

    QVERIFY(TestEnvironment::storeClientServer(files.origin(), false));
    ProcessSet processes;
    QProcess* client = processes.start(TestEnvironment::clientPath());
    LocalService service;
    service.origin = files.origin().toLatin1();
    QVERIFY2(service.attach(client), "the client's local service did not start");
    const auto created =
        service.send("POST",
                     "/transfers",
                     "{\"download\": {\"url\": \"" + service.origin + "/big.bin?hold=" + QByteArray::number(HeldAtBytes)
                         + "\", \"folder\": \"downloads\"}, \"headers\": " + Credentials + '}');
    QCOMPARE(created.first, 201);
    const QString id = QJsonDocument::fromJson(created.second).object().value(QStringLiteral("id")).toString();

    // Killed once the validator is stored and part of the file is on disk: the server holds back
    // the rest of its first answer, so the download cannot finish first however slow the test is.
    const QString stored = TestEnvironment::homeFolder() + QStringLiteral("/.local/share/norv-client/transfers.json");
    const QString part = TestEnvironment::homeFolder() + QStringLiteral("/Downloads/big.bin.part");
    QVERIFY(QTest::qWaitFor(
        [&] {
            QFile transfers(stored);
            return transfers.open(QIODevice::ReadOnly) && transfers.readAll().contains("\"validator\":\"\\\"")
                && QFileInfo(part).size() > 0;
        },
        TransferTimeoutMs));
    client->kill();
    QVERIFY(client->waitForFinished(ReplyTimeoutMs));
    const qint64 onDisk = QFileInfo(part).size();
    QVERIFY(onDisk > 0 && onDisk < FileBytes);

    QProcess* restarted = processes.start(TestEnvironment::clientPath());
    QVERIFY2(service.attach(restarted), "the restarted client's local service did not start");
    QCOMPARE(service.transfer(id).value(QStringLiteral("state")).toString(), QStringLiteral("paused"));
    files.output();
    QVERIFY(resumeUntilDone(service, id));
    QVERIFY2(files.output().contains("range=bytes=" + QByteArray::number(onDisk) + "- status=206"),
             files.output().constData());
    QCOMPARE(sha256Of(TestEnvironment::homeFolder() + QStringLiteral("/Downloads/big.bin")), sha256Of(source));
}

NORV_TEST_MAIN(TestKilledTransfer)
#include "tst_killedtransfer.moc"
