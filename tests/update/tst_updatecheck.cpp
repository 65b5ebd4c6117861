#include "app/CMainWindow.h"
#include "app/DialogPlacement.h"
#include "app/Product.h"
#include "common/DemoPortalProcess.h"
#include "common/ProcessSet.h"
#include "common/ShellFixture.h"
#include "common/TestCertificates.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "common/TlsTestServer.h"
#include "login/CLoginUI.h"
#include "update/CCheckUpdateUI.h"
#include "update/CThread.h"
#include "update/VersionCompare.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {
struct Result
{
    bool shown = false;
    QString message;
    QString version;
};
} // namespace

// A column of the comparison table.
Q_DECLARE_METATYPE(VersionCompare::Result)

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void comparesVersions_data();
    void comparesVersions();
    void resultShowsTheVersion_data();
    void resultShowsTheVersion();
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
    m_trusting = TestCertificates::trustTestAuthority();
    m_window = ShellFixture::start();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->loginUI));
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "recordOpened");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "recordOpened");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordOpened");
}

void TestUpdateCheck::cleanupTestCase()
{
    m_portals.reset();
    ShellFixture::stop(m_window);
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
    DemoPortalProcess portal;
    if (!portal.start(*m_portals,
                      DemoPortalProcess::httpsArguments()
                          << QStringLiteral("--version-body") << file->fileName() << extra)) {
        return 0;
    }
    qputenv("NORV_UPDATE_HOST", "127.0.0.1:" + QByteArray::number(portal.port));
    return portal.port;
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
    QTest::addColumn<QString>("published");
    QTest::addColumn<QString>("running");
    QTest::addColumn<VersionCompare::Result>("result");
    const auto newer = VersionCompare::Result::Newer;
    const auto notNewer = VersionCompare::Result::NotNewer;
    const QString running = QStringLiteral("3.0.0 Build 14");
    QTest::newRow("third field newer") << QStringLiteral("3.0.1 Build 20") << running << newer;
    QTest::newRow("second field newer") << QStringLiteral("3.1.0") << running << newer;
    QTest::newRow("first field decides") << QStringLiteral("2.9.9") << running << notNewer;
    QTest::newRow("equal") << QStringLiteral("3.0.0 Build 99") << running << notNewer;
    QTest::newRow("fourth field ignored") << QStringLiteral("3.0.0.1") << running << notNewer;
    QTest::newRow("numeric not textual") << QStringLiteral("10.0.0") << QStringLiteral("9.0.0") << newer;
    QTest::newRow("not a number counts as 0") << QStringLiteral("3.x.1") << QStringLiteral("3.0.0") << newer;
    QTest::newRow("two fields") << QStringLiteral("3.0") << running << VersionCompare::Result::Unreadable;
    QTest::newRow("missing") << QString() << running << VersionCompare::Result::Unreadable;
}

void TestUpdateCheck::comparesVersions()
{
    QFETCH(QString, published);
    QFETCH(QString, running);
    QTEST(VersionCompare::compare(published, running), "result");
}

void TestUpdateCheck::resultShowsTheVersion_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("version");
    QTest::newRow("newer: the published number") << TestData::versionFile(QStringLiteral("3.0.1 Build 20"))
                                                 << QStringLiteral("Find a new version, download it?") << "3.0.1";
    QTest::newRow("not newer: the running number")
        << TestData::versionFile(QStringLiteral("2.9.9")) << QStringLiteral("You are using the latest version")
        << VersionCompare::numberPart(QString::fromLatin1(ClientVersion));
}

void TestUpdateCheck::resultShowsTheVersion()
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
    QTest::newRow("short version") << TestData::versionFile(QStringLiteral("3.0")) << QStringList();
    QTest::newRow("no version") << QByteArray(R"({"win32": {"downloadUrl": "https://dl.example/c"}})") << QStringList();
    QTest::newRow("no win32 object") << QByteArray(R"({"win32": "9.9.9"})") << QStringList();
    QTest::newRow("not json") << QByteArray("<html>nope</html>") << QStringList();
    QTest::newRow("json array") << QByteArray("[1, 2, 3]") << QStringList();
    QTest::newRow("redirect is not followed")
        << TestData::versionFile(QStringLiteral("9.9.9")) << QStringList {QStringLiteral("--redirect-version")};
    QTest::newRow("over the size limit") << TestData::versionFile(QStringLiteral("9.9.9"))
            + QByteArray(2 * 1024 * 1024, ' ')
                                         << QStringList();
}

void TestUpdateCheck::failedChecks()
{
    QFETCH(QByteArray, body);
    QFETCH(QStringList, options);
    // Leave the texts of a newer version behind: a failed check must not show them again.
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("4.0.0"))) != 0);
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
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("9.9.9"))) != 0);
    QSslConfiguration::setDefaultConfiguration(QSslConfiguration());
    const Result result = check();
    QSslConfiguration::setDefaultConfiguration(m_trusting);
    QCOMPARE(result.message, QStringLiteral("Check update failed"));
    QVERIFY(!m_window->updateDialog->newVersionFound);
}

void TestUpdateCheck::notFoundFails()
{
    // Every request is held back until the test answers it.
    QList<QSslSocket*> waiting;
    TlsTestServer server([&waiting](QSslSocket* socket) { waiting.append(socket); });
    server.serveUpdateChecks();
    QTimer answering;
    connect(&answering, &QTimer::timeout, &server, [&waiting] {
        while (!waiting.isEmpty()) {
            TlsTestServer::answer(waiting.takeFirst(), 404, "{}");
        }
    });
    answering.start(10);
    const Result result = check();
    QCOMPARE(result.message, QStringLiteral("Check update failed"));
    QCOMPARE(result.version, QString());
}

void TestUpdateCheck::secondCheckReusesTheDialogPlacedAfresh()
{
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("3.0.0"))) != 0);
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
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("3.0.0"))) != 0);
    QVERIFY(!check(true).shown);
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("3.0.5"))) != 0);
    QVERIFY(check(true).shown);
    m_window->worker->disconnect(m_window->updateDialog);
    m_window->updateDialog = loud;
}

void TestUpdateCheck::onlyTheLatestCheckIsShown()
{
    // Every request is held back until the test answers it.
    QList<QSslSocket*> waiting;
    TlsTestServer server([&waiting](QSslSocket* socket) { waiting.append(socket); });
    server.serveUpdateChecks();
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
    QTRY_COMPARE(waiting.size(), 1);
    m_window->slot_checkupdate(false);
    QTRY_COMPARE(waiting.size(), 2);
    // The second answer arrives first, the first one last.
    TlsTestServer::answer(waiting.at(1), 200, TestData::versionFile(QStringLiteral("5.0.0")));
    QTRY_COMPARE(shownVersions, QStringList {QStringLiteral("5.0.0")});
    TlsTestServer::answer(waiting.at(0), 200, TestData::versionFile(QStringLiteral("4.0.0")));
    QTest::qWait(500);
    QCOMPARE(shownVersions, QStringList {QStringLiteral("5.0.0")});
}

void TestUpdateCheck::okOpensOnlyWebAddresses()
{
    const QString download = QStringLiteral("https://dl.example/norv-client.deb");
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("4.0.0"), download)) != 0);
    m_opened.clear();
    bool closedByOk = false;
    check(false, [&closedByOk](CCheckUpdateUI* dialog) {
        dialog->Slot_ButtonOK();
        closedByOk = dialog->isHidden();
    });
    QVERIFY(closedByOk);
    QCOMPARE(m_opened, QList<QUrl> {QUrl(download)});

    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("4.0.0"), QStringLiteral("file:///etc/passwd"))) != 0);
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
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral(R"(9.0.0<img src=\"/dev/zero\">)"))) != 0);
    const Result result = check();
    QVERIFY(result.shown);
    QCOMPARE(result.version, QStringLiteral("9.0.0<img"));
    QCOMPARE(m_window->updateDialog->versionLabel->textFormat(), Qt::PlainText);
}

void TestUpdateCheck::exitStopsTheWorkerThread()
{
    QVERIFY(startPortal(TestData::versionFile(QStringLiteral("3.0.0"))) != 0);
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
