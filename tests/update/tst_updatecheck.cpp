#include "app/CMainWindow.h"
#include "app/DialogPlacement.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "core/TesselHttpd.h"
#include "i18n/CTextTable.h"
#include "login/CLoginUI.h"
#include "update/CCheckUpdateUI.h"
#include "update/CThread.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {
const QString CertFolder = QStringLiteral(NORV_DEMO_CERT_DIR);

QByteArray versionFile(const QString& version, const QString& downloadUrl = QStringLiteral("https://dl.example/c"))
{
    return QStringLiteral("{\"win32\": {\"version\": \"%1\", \"downloadUrl\": \"%2\"}, \"mac\": {}}")
        .arg(version, downloadUrl)
        .toUtf8();
}

// An HTTPS server of the test's own, for answers the demo portal does not give: canned
// responses, each held back until the test releases it.
class HeldServer : public QTcpServer
{
public:
    HeldServer()
    {
        m_tls.setLocalCertificate(QSslCertificate::fromPath(CertFolder + QStringLiteral("/cert.pem")).value(0));
        QFile key(CertFolder + QStringLiteral("/key.pem"));
        key.open(QIODevice::ReadOnly);
        m_tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
        listen(QHostAddress::LocalHost);
    }
    QList<QSslSocket*> waiting;

    static void answer(QSslSocket* socket, int status, const QByteArray& body)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(status)
                      + " X\r\nContent-Type: application/json\r\n"
                        "Connection: close\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setSslConfiguration(m_tls);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains("\r\n\r\n")) {
                waiting.append(socket);
            }
        });
        socket->startServerEncryption();
    }

private:
    QSslConfiguration m_tls = QSslConfiguration::defaultConfiguration();
};

struct Result
{
    bool shown = false;
    QString message;
    QString version;
};
} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void comparesVersions_data();
    void comparesVersions();
    void failedChecks_data();
    void failedChecks();
    void untrustedCertificateFails();
    void notFoundFails();
    void secondCheckReusesTheDialogPlacedAfresh();
    void quietCheckShowsOnlyNewerVersions();
    void onlyTheLatestCheckIsShown();
    void okOpensOnlyWebAddresses();
    void versionIsShownAsText();
    void exitStopsTheWorkerThread();

public slots:
    void recordOpened(const QUrl& url) { m_opened << url; }

private:
    quint16 startPortal(const QByteArray& body, const QStringList& extra = {});
    Result check(bool checkType = false, const std::function<void(CCheckUpdateUI*)>& whileShown = {});

    CMainWindow* m_window = nullptr;
    std::unique_ptr<ProcessSet> m_portals;
    QList<QUrl> m_opened;
    QSslConfiguration m_trusting;
};

void TestUpdateCheck::initTestCase()
{
    // Trust the test authority in this process only; verification itself stays on.
    m_trusting = QSslConfiguration::defaultConfiguration();
    m_trusting.setCaCertificates(m_trusting.caCertificates()
                                 + QSslCertificate::fromPath(CertFolder + QStringLiteral("/ca.pem")));
    QSslConfiguration::setDefaultConfiguration(m_trusting);
    m_window = new CMainWindow;
    mainWindowInstance = m_window;
    m_window->loginUI = new CLoginUI;
    m_window->initLayout();
    m_window->slot_switch_language(0);
    m_window->loginUI->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->loginUI));
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "recordOpened");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordOpened");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpened");
}

void TestUpdateCheck::cleanupTestCase()
{
    m_portals.reset();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

quint16 TestUpdateCheck::startPortal(const QByteArray& body, const QStringList& extra)
{
    auto* file = new QTemporaryFile(this);
    file->open();
    file->write(body);
    file->flush();
    m_portals = std::make_unique<ProcessSet>();
    QProcess* portal = m_portals->start(TestEnvironment::binFolder() + QStringLiteral("/norv-demo-portal"),
                                        QStringList {QStringLiteral("--port"),
                                                     QStringLiteral("0"),
                                                     QStringLiteral("--https"),
                                                     QStringLiteral("--cert"),
                                                     CertFolder + QStringLiteral("/cert.pem"),
                                                     QStringLiteral("--key"),
                                                     CertFolder + QStringLiteral("/key.pem"),
                                                     QStringLiteral("--version-body"),
                                                     file->fileName()}
                                            + extra);
    if (!portal->waitForReadyRead(10000)) {
        return 0;
    }
    const quint16 port = portal->readLine().trimmed().split(' ').last().toUShort();
    qputenv("NORV_UPDATE_HOST", "127.0.0.1:" + QByteArray::number(port));
    return port;
}

// Runs one check and reports whether the result was shown, and with what texts.
Result TestUpdateCheck::check(bool checkType, const std::function<void(CCheckUpdateUI*)>& whileShown)
{
    Result result;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        CCheckUpdateUI* dialog = m_window->updateDialog;
        if (dialog && dialog->isVisible() && !result.shown) {
            result = {true, dialog->messageLabel->text(), dialog->versionLabel->text()};
            if (whileShown) {
                whileShown(dialog);
            }
            dialog->close();
        }
    });
    watcher.start(20);
    // The worker exists from the first check on; listen before asking, so no answer slips by.
    std::unique_ptr<QSignalSpy> arrived;
    if (m_window->worker) {
        arrived = std::make_unique<QSignalSpy>(m_window->worker, &CThread::sig_versionFileArrived);
    }
    m_window->slot_checkupdate(checkType);
    if (!arrived) {
        arrived = std::make_unique<QSignalSpy>(m_window->worker, &CThread::sig_versionFileArrived);
    }
    arrived->isEmpty() && arrived->wait(20000);
    QTest::qWait(300);
    if (!result.shown && m_window->updateDialog->isHidden()) {
        result.message = m_window->updateDialog->messageLabel->text();
        result.version = m_window->updateDialog->versionLabel->text();
    }
    return result;
}

void TestUpdateCheck::comparesVersions_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("version");
    const QString newer = QStringLiteral("Find a new version, download it?");
    const QString latest = QStringLiteral("You are using the latest version");
    QTest::newRow("third field newer") << versionFile(QStringLiteral("3.0.1 Build 20")) << newer << "3.0.1";
    QTest::newRow("second field newer") << versionFile(QStringLiteral("3.1.0")) << newer << "3.1.0";
    QTest::newRow("first field decides") << versionFile(QStringLiteral("2.9.9")) << latest << "3.0.0";
    QTest::newRow("equal") << versionFile(QStringLiteral("3.0.0 Build 99")) << latest << "3.0.0";
    QTest::newRow("fourth field ignored") << versionFile(QStringLiteral("3.0.0.1")) << latest << "3.0.0";
    QTest::newRow("numeric not textual") << versionFile(QStringLiteral("10.0.0")) << newer << "10.0.0";
}

void TestUpdateCheck::comparesVersions()
{
    QFETCH(QByteArray, body);
    QVERIFY(startPortal(body) != 0);
    const Result result = check();
    QVERIFY(result.shown);
    QTEST(result.message, "message");
    QTEST(result.version, "version");
}

void TestUpdateCheck::failedChecks_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("short version") << versionFile(QStringLiteral("3.0")) << QStringList();
    QTest::newRow("no version") << QByteArray(R"({"win32": {"downloadUrl": "https://dl.example/c"}})") << QStringList();
    QTest::newRow("no win32 object") << QByteArray(R"({"win32": "9.9.9"})") << QStringList();
    QTest::newRow("not json") << QByteArray("<html>nope</html>") << QStringList();
    QTest::newRow("json array") << QByteArray("[1, 2, 3]") << QStringList();
    QTest::newRow("redirect is not followed")
        << versionFile(QStringLiteral("9.9.9")) << QStringList {QStringLiteral("--redirect-version")};
    QTest::newRow("over the size limit") << versionFile(QStringLiteral("9.9.9")) + QByteArray(2 * 1024 * 1024, ' ')
                                         << QStringList();
}

void TestUpdateCheck::failedChecks()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, options);
    // Leave the texts of a newer version behind: a failed check must not show them again.
    QVERIFY(startPortal(versionFile(QStringLiteral("4.0.0"))) != 0);
    QCOMPARE(check().message, QStringLiteral("Find a new version, download it?"));

    QVERIFY(startPortal(body, options) != 0);
    const Result result = check();
    QVERIFY(result.shown);
    QVERIFY(!m_window->updateDialog->newVersionFound);
    QCOMPARE(result.message, QStringLiteral("Check update failed"));
    QCOMPARE(result.version, QString());
}

void TestUpdateCheck::untrustedCertificateFails()
{
    QVERIFY(startPortal(versionFile(QStringLiteral("9.9.9"))) != 0);
    QSslConfiguration::setDefaultConfiguration(QSslConfiguration());
    const Result result = check();
    QSslConfiguration::setDefaultConfiguration(m_trusting);
    QCOMPARE(result.message, QStringLiteral("Check update failed"));
    QVERIFY(!m_window->updateDialog->newVersionFound);
}

void TestUpdateCheck::notFoundFails()
{
    HeldServer server;
    qputenv("NORV_UPDATE_HOST", "127.0.0.1:" + QByteArray::number(server.serverPort()));
    QTimer answering;
    connect(&answering, &QTimer::timeout, &server, [&server] {
        while (!server.waiting.isEmpty()) {
            HeldServer::answer(server.waiting.takeFirst(), 404, "{}");
        }
    });
    answering.start(10);
    const Result result = check();
    QCOMPARE(result.message, QStringLiteral("Check update failed"));
    QCOMPARE(result.version, QString());
}

void TestUpdateCheck::secondCheckReusesTheDialogPlacedAfresh()
{
    QVERIFY(startPortal(versionFile(QStringLiteral("3.0.0"))) != 0);
    check();
    CCheckUpdateUI* dialog = m_window->updateDialog;
    m_window->loginUI->move(200, 120);
    // Where the dialog stands when the check starts; the window manager may still be moving it once shown.
    QPoint placedAt;
    const QMetaObject::Connection watch = connect(
        m_window->worker,
        &CThread::sig_StartCheck,
        this,
        [&placedAt, dialog] { placedAt = dialog->pos(); },
        Qt::DirectConnection);
    QVERIFY(check().shown);
    disconnect(watch);
    QCOMPARE(m_window->updateDialog, dialog);
    QCOMPARE(placedAt, DialogPlacement::position(m_window->loginUI->geometry(), dialog->size()));
}

void TestUpdateCheck::quietCheckShowsOnlyNewerVersions()
{
    // The dialog keeps the kind of its first check; a quiet one needs a fresh dialog.
    CCheckUpdateUI* loud = m_window->updateDialog;
    m_window->updateDialog = nullptr;
    QVERIFY(startPortal(versionFile(QStringLiteral("3.0.0"))) != 0);
    QVERIFY(!check(true).shown);
    QVERIFY(startPortal(versionFile(QStringLiteral("3.0.5"))) != 0);
    QVERIFY(check(true).shown);
    m_window->worker->disconnect(m_window->updateDialog);
    m_window->updateDialog = loud;
}

void TestUpdateCheck::onlyTheLatestCheckIsShown()
{
    HeldServer server;
    qputenv("NORV_UPDATE_HOST", "127.0.0.1:" + QByteArray::number(server.serverPort()));
    QStringList shownVersions;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        if (m_window->updateDialog->isVisible()) {
            shownVersions << m_window->updateDialog->versionLabel->text();
            m_window->updateDialog->close();
        }
    });
    watcher.start(20);
    m_window->slot_checkupdate(false);
    QTRY_COMPARE(server.waiting.size(), 1);
    m_window->slot_checkupdate(false);
    QTRY_COMPARE(server.waiting.size(), 2);
    // The second answer arrives first, the first one last.
    HeldServer::answer(server.waiting.at(1), 200, versionFile(QStringLiteral("5.0.0")));
    QTRY_COMPARE(shownVersions, QStringList {QStringLiteral("5.0.0")});
    HeldServer::answer(server.waiting.at(0), 200, versionFile(QStringLiteral("4.0.0")));
    QTest::qWait(500);
    QCOMPARE(shownVersions, QStringList {QStringLiteral("5.0.0")});
}

void TestUpdateCheck::okOpensOnlyWebAddresses()
{
    const QString download = QStringLiteral("https://dl.example/norv-client.deb");
    QVERIFY(startPortal(versionFile(QStringLiteral("4.0.0"), download)) != 0);
    m_opened.clear();
    bool closedByOk = false;
    check(false, [&closedByOk](CCheckUpdateUI* dialog) {
        dialog->Slot_ButtonOK();
        closedByOk = dialog->isHidden();
    });
    QVERIFY(closedByOk);
    QCOMPARE(m_opened, QList<QUrl> {QUrl(download)});

    QVERIFY(startPortal(versionFile(QStringLiteral("4.0.0"), QStringLiteral("file:///etc/passwd"))) != 0);
    m_opened.clear();
    bool stayedOpen = false;
    check(false, [&stayedOpen](CCheckUpdateUI* dialog) {
        dialog->Slot_ButtonOK();
        stayedOpen = dialog->isVisible();
    });
    QVERIFY(stayedOpen);
    QVERIFY(m_opened.isEmpty());
}

void TestUpdateCheck::versionIsShownAsText()
{
    // As markup, the label would read the file the image names.
    QVERIFY(startPortal(versionFile(QStringLiteral(R"(9.0.0<img src=\"/dev/zero\">)"))) != 0);
    const Result result = check();
    QVERIFY(result.shown);
    QCOMPARE(result.version, QStringLiteral("9.0.0<img"));
    QCOMPARE(m_window->updateDialog->versionLabel->textFormat(), Qt::PlainText);
}

void TestUpdateCheck::exitStopsTheWorkerThread()
{
    QVERIFY(startPortal(versionFile(QStringLiteral("3.0.0"))) != 0);
    check();
    const QPointer<CThread> worker = m_window->worker;
    const QPointer<QThread> thread = worker->thread;
    QVERIFY(thread->isRunning());
    m_window->handle_exit_application();
    QVERIFY(!m_window->worker);
    // Deleting a thread that still runs would abort the process.
    QVERIFY(thread.isNull());
    QVERIFY(worker.isNull());
}

NORV_TEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
