#include "app/CMainWindow.h"
#include "app/OutputLines.h"
#include "app/Product.h"
#include "common/DesktopSession.h"
#include "common/PrivateDisplay.h"
#include "common/ProcessSet.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "core/TesselHttpd.h"
#include "dialogs/CMiniTray.h"
#include "login/CLoginUI.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTimer>

namespace {
const QString WindowTitle = QString::fromUtf8(ProductName);

QProcess* startOn(ProcessSet& processes, const QString& display, const QStringList& arguments)
{
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", display.toLatin1());
    QProcess* client = processes.start(TestEnvironment::clientPath(), arguments);
    qputenv("DISPLAY", saved);
    return client;
}
} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void iconIsShownWhateverTheSetting();
    void triggerBringsBackTheSelectionWindow();
    void triggerBringsBackThePortal();
    void contextMenuOffersQuit();
    void otherReasonsDoNothing();
    void quitEndsTheApplication();
    void clickingTheRealIconBringsBackTheWindow();
    void quitFromTheRealMenuEndsTheClient();
    void withoutATrayClosingEndsTheApplication();
    void withoutATrayAStartAlwaysShowsAWindow_data();
    void withoutATrayAStartAlwaysShowsAWindow();

private:
    void hideBoth();
    CMainWindow* m_window = nullptr;
};

void TestTray::initTestCase()
{
    QVERIFY2(QSystemTrayIcon::isSystemTrayAvailable(), "the test X server needs a tray (scripts/test starts trayer)");
    // Started as the autostart entry starts it: with minimise-to-tray on, nothing is shown.
    m_window = ShellFixture::start({QStringLiteral("-min"), QStringLiteral("-autorun")});
}

void TestTray::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestTray::hideBoth()
{
    m_window->hide();
    m_window->loginUI->hide();
}

void TestTray::iconIsShownWhateverTheSetting()
{
    QVERIFY(m_window->tray);
    QVERIFY(m_window->tray->isVisible());
    QCOMPARE(m_window->tray->toolTip(), WindowTitle);
    QVERIFY(!m_window->tray->icon().isNull());
    QVERIFY(!m_window->tray->contextMenu());
}

void TestTray::triggerBringsBackTheSelectionWindow()
{
    hideBoth();
    m_window->inPortal = false;
    emit m_window->tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(m_window->loginUI->isVisible());
    QVERIFY(m_window->isHidden());
}

void TestTray::triggerBringsBackThePortal()
{
    hideBoth();
    m_window->inPortal = true;
    emit m_window->tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->loginUI->isHidden());
    m_window->inPortal = false;
}

void TestTray::contextMenuOffersQuit()
{
    for (const int language : {0, 1}) {
        m_window->slot_switch_language(language);
        QStringList seen;
        QTimer::singleShot(0, [&seen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (const QAction* action : menu->actions()) {
                seen << action->text();
            }
            menu->close();
        });
        emit m_window->tray->activated(QSystemTrayIcon::Context);
        QCOMPARE(seen, QStringList {language == 0 ? QStringLiteral("Quit") : QStringLiteral("退出")});
    }
    m_window->slot_switch_language(0);
}

void TestTray::otherReasonsDoNothing()
{
    for (const auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        hideBoth();
        emit m_window->tray->activated(reason);
        QVERIFY(m_window->isHidden() && m_window->loginUI->isHidden());
        QVERIFY(!QApplication::activePopupWidget());
    }
}

void TestTray::quitEndsTheApplication()
{
    QPointer<CMiniTray> tray = m_window->tray;
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        menu->actions().first()->trigger();
        menu->close();
    });
    emit tray->activated(QSystemTrayIcon::Context);
    // Not inside the icon's own handler: the exit routine runs once that has returned.
    QVERIFY(tray);
    QTRY_VERIFY(!m_window->tray);
    QVERIFY(tray.isNull());
    QCOMPARE(m_window->httpd->port(), quint16(0));
}

void TestTray::clickingTheRealIconBringsBackTheWindow()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QVERIFY(waitForStandardError(client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(display), 20000);
    DesktopSession::closeClientWindow(display);
    QTRY_VERIFY_WITH_TIMEOUT(!DesktopSession::clientWindowShown(display), 20000);

    QString icon;
    QTRY_VERIFY_WITH_TIMEOUT(!(icon = DesktopSession::trayIconWindow(display)).isEmpty(), 20000);
    DesktopSession::clickWindow(display, icon, 1, {4, 4});
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(display), 20000);
    QVERIFY(waitForStandardError(client, OutputLines::TrayShowsSelection, 20000));
    QCOMPARE(client->state(), QProcess::Running);
}

void TestTray::quitFromTheRealMenuEndsTheClient()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QVERIFY(waitForStandardError(client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(display), 20000);
    QVERIFY(DesktopSession::quitFromTrayMenu(display));

    QVERIFY(client->waitForFinished(20000));
    const QByteArray errors = client->readAllStandardError();
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(client->readAllStandardOutput().contains(OutputLines::ExitRoutine));
    for (const char* crash : {"AddressSanitizer", "Segmentation fault", "free(): ", "QThread: Destroyed"}) {
        QVERIFY2(!errors.contains(crash), errors.constData());
    }
}

void TestTray::withoutATrayClosingEndsTheApplication()
{
    PrivateDisplay trayless;
    QVERIFY(!trayless.display().isEmpty());
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    QProcess* client = startOn(processes, trayless.display(), {});
    QVERIFY(waitForStandardError(client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(trayless.display()), 20000);
    DesktopSession::closeClientWindow(trayless.display());
    QVERIFY(client->waitForFinished(20000));
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(client->readAllStandardOutput().contains(OutputLines::ExitRoutine));
    // The user's choice is kept for desktops that do have a tray.
    QCOMPARE(QSettings(TestEnvironment::clientSettingsPath(), QSettings::IniFormat)
                 .value(QStringLiteral("MiniTray"))
                 .toBool(),
             true);
}

void TestTray::withoutATrayAStartAlwaysShowsAWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("autostart in the tray") << QStringList {QStringLiteral("-min"), QStringLiteral("-autorun")};
    QTest::newRow("browser mode") << QStringList {QStringLiteral("browser")};
}

void TestTray::withoutATrayAStartAlwaysShowsAWindow()
{
    QFETCH(QStringList, arguments);
    PrivateDisplay trayless;
    QVERIFY(!trayless.display().isEmpty());
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    QProcess* client = startOn(processes, trayless.display(), arguments);
    QVERIFY(waitForStandardError(client, ClientStartedLine));
    QTRY_VERIFY_WITH_TIMEOUT(DesktopSession::clientWindowShown(trayless.display()), 20000);
    client->kill();
    client->waitForFinished();

    // Where a tray exists, the same start stays in the tray.
    QProcess* trayed = processes.start(TestEnvironment::clientPath(), arguments);
    QVERIFY(waitForStandardError(trayed, ClientStartedLine));
    QTest::qWait(1500);
    QVERIFY(!DesktopSession::clientWindowShown(qEnvironmentVariable("DISPLAY")));
    QCOMPARE(trayed->state(), QProcess::Running);
}

NORV_TEST_MAIN(TestTray)
#include "tst_tray.moc"
