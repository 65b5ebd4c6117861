// The client on a Wayland desktop: Weston's headless back-end pictures what it shows (see
// common/WestonSession.h), and a notification area of the test's own on a private session bus
// takes the tray icon over D-Bus (common/StatusNotifierWatcher.h).
#include "app/CMainWindow.h"
#include "app/OutputLines.h"
#include "common/DemoPortalProcess.h"
#include "common/ProcessSet.h"
#include "common/ShellFixture.h"
#include "common/StatusNotifierWatcher.h"
#include "common/TestEnvironment.h"
#include "common/WestonSession.h"
#include "login/CLoginUI.h"

#include <QDBusArgument>
#include <QDBusVariant>
#include <QDialog>
#include <QTimer>
#include <QWindow>

namespace {
const int WaitMs = 60000;
// The selection window with the title bar and border Qt draws itself where the desktop draws
// none, as Weston does not.
const QSize SelectionWindowSize(500 + 6, 593 + 33);
// The demo portal's page background.
const QRgb PageBackground = qRgb(0xf4, 0xf6, 0xf8);
const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString MenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QString QuitLabel = QStringLiteral("Quit");
const QStringList InTray {QStringLiteral("-min"), QStringLiteral("-autorun")};

// Whether the page's background fills most of area: the page was drawn, not only the window.
bool showsThePage(const QImage& screen, const QRect& area)
{
    int page = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            page += (screen.pixel(x, y) | 0xff000000) == PageBackground;
        }
    }
    return page > area.width() * area.height() / 3;
}

// The id of the menu item labelled label in a dbusmenu layout (id, properties, children); -1 if none.
int findItem(const QDBusArgument& layout, const QString& label)
{
    int id = -1;
    QVariantMap properties;
    layout.beginStructure();
    layout >> id >> properties;
    int found = properties.value(QStringLiteral("label")).toString() == label ? id : -1;
    layout.beginArray();
    while (!layout.atEnd()) {
        QDBusVariant child;
        layout >> child;
        const int inChild = findItem(child.variant().value<QDBusArgument>(), label);
        found = found >= 0 ? found : inChild;
    }
    layout.endArray();
    layout.endStructure();
    return found;
}

// Chooses the item labelled label in the menu the tray icon item ("bus name/path") exports, as
// a notification area does when the user clicks it. False when the menu or the item is missing.
bool clickMenuItem(const QDBusConnection& bus, const QString& item, const QString& label)
{
    const int slash = item.indexOf(QLatin1Char('/'));
    const QString service = item.left(slash);
    QDBusMessage ask = QDBusMessage::createMethodCall(
        service, item.mid(slash), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << ItemInterface << QStringLiteral("Menu");
    const QDBusMessage menuPath = bus.call(ask);
    const QString menu = menuPath.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
    QDBusMessage layout =
        bus.call(QDBusMessage::createMethodCall(service, menu, MenuInterface, QStringLiteral("GetLayout"))
                 << 0 << -1 << QStringList());
    if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() < 2) {
        return false;
    }
    const int id = findItem(layout.arguments().at(1).value<QDBusArgument>(), label);
    return id >= 0
        && bus.call(QDBusMessage::createMethodCall(service, menu, MenuInterface, QStringLiteral("Event"))
                    << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u)
               .type()
        == QDBusMessage::ReplyMessage;
}
} // namespace

class TestWayland : public QObject
{
    Q_OBJECT

public:
    explicit TestWayland(WestonSession& weston)
        : m_weston(weston)
    {
    }

private slots:
    void initTestCase();
    void dialogIsPlacedByTheDesktopOverItsWindow();
    void clientShowsItsWindows_data();
    void clientShowsItsWindows();
    void trayGoesOverDBusWhenADesktopWatches_data();
    void trayGoesOverDBusWhenADesktopWatches();

private:
    void checkShownOver(QDialog* dialog, QWidget* window, const QImage& before);

    WestonSession& m_weston;
    ProcessSet m_processes;
    DemoPortalProcess m_portal;
};

void TestWayland::initTestCase()
{
    QVERIFY(QGuiApplication::platformName().startsWith(QStringLiteral("wayland")));
    QVERIFY2(m_portal.start(m_processes), "the demo portal did not start");
}

void TestWayland::dialogIsPlacedByTheDesktopOverItsWindow()
{
    CMainWindow* window = ShellFixture::build();
    window->loginUI->show();
    QTRY_COMPARE_WITH_TIMEOUT(m_weston.windowsArea().size(), SelectionWindowSize, WaitMs);
    const QImage before = m_weston.screenshot();
    // Checked while the dialog runs, and closed whatever the checks say.
    QTimer::singleShot(0, this, [this, window, &before] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        checkShownOver(dialog, window->loginUI, before);
        if (dialog) {
            dialog->reject();
        }
    });
    window->slot_aboutUI();
    ShellFixture::stop(window);
}

void TestWayland::checkShownOver(QDialog* dialog, QWidget* window, const QImage& before)
{
    QVERIFY(dialog);
    // A client cannot place its windows on Wayland: the desktop places the dialog for its window.
    QCOMPARE(dialog->windowHandle()->transientParent(), window->windowHandle());
    QRect shown;
    QTRY_COMPARE_WITH_TIMEOUT(
        (shown = WestonSession::changedArea(before, m_weston.screenshot())).size(), dialog->size(), WaitMs);
    QVERIFY(QRect(QPoint(), before.size()).contains(shown));
    qInfo() << "dialog shown at" << shown << "window at" << m_weston.windowsArea();
}

void TestWayland::clientShowsItsWindows_data()
{
    QTest::addColumn<bool>("portalIsDefault");
    QTest::newRow("server selection window") << false;
    QTest::newRow("portal after the automatic login") << true;
}

void TestWayland::clientShowsItsWindows()
{
    QFETCH(bool, portalIsDefault);
    QVERIFY(TestEnvironment::storeClientServer(m_portal.origin(), portalIsDefault));
    ProcessSet processes;
    QProcess* client = processes.start(TestEnvironment::clientPath());
    QByteArray errors;
    QByteArray output;
    QVERIFY(waitForStandardError(client, ClientStartedLine, WaitMs, &errors));
    if (portalIsDefault) {
        QTRY_VERIFY_WITH_TIMEOUT((output += client->readAllStandardOutput()).contains(OutputLines::LoadAccepted),
                                 WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(showsThePage(m_weston.screenshot(), m_weston.windowsArea()), WaitMs);
    } else {
        // That window alone: no error dialog beside it.
        QTRY_COMPARE_WITH_TIMEOUT(m_weston.windowsArea().size(), SelectionWindowSize, WaitMs);
    }
    QCOMPARE(client->state(), QProcess::Running);
    errors += client->readAllStandardError();
    for (const char* failure :
         {"Segmentation fault", "The Wayland connection experienced a fatal error", "QThread: Destroyed"}) {
        QVERIFY2(!errors.contains(failure), errors.constData());
    }
}

void TestWayland::trayGoesOverDBusWhenADesktopWatches_data()
{
    QTest::addColumn<bool>("watched");
    QTest::newRow("a notification area watches") << true;
    QTest::newRow("no notification area") << false;
}

void TestWayland::trayGoesOverDBusWhenADesktopWatches()
{
    QFETCH(bool, watched);
    StatusNotifierWatcher watcher;
    QVERIFY2(!watched || watcher.start(), "no session bus of the test's own (run it under dbus-run-session)");
    QVERIFY(TestEnvironment::storeClientServer(m_portal.origin(), false));
    TestEnvironment::storeClientMiniTray(true);
    ProcessSet processes;
    // Started as the autostart entry starts it: in the tray, where there is one.
    QProcess* client = processes.start(TestEnvironment::clientPath(), InTray);
    QVERIFY(waitForStandardError(client, ClientStartedLine));
    if (!watched) {
        // As on any desktop without a tray: the window is shown, nothing could bring it back.
        QTRY_COMPARE_WITH_TIMEOUT(m_weston.windowsArea().size(), SelectionWindowSize, WaitMs);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(watcher.registeredItems().size(), 1, WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(m_weston.windowsArea().isEmpty(), WaitMs);
    QVERIFY(clickMenuItem(watcher.bus, watcher.registeredItems().first(), QuitLabel));
    QVERIFY(client->waitForFinished(WaitMs));
    QCOMPARE(client->exitStatus(), QProcess::NormalExit);
    QCOMPARE(client->exitCode(), 0);
    QVERIFY(client->readAllStandardOutput().contains(OutputLines::ExitRoutine));
}

// The desktop must be up before this program's application object, whose windows go there too.
int main(int argc, char** argv)
{
    TestEnvironment::isolateUserFolders();
    WestonSession weston;
    if (!weston.start()) {
        qCritical("Weston did not start");
        return 1;
    }
    ApplicationAttributes::apply();
    QApplication app(argc, argv);
    TestWayland test(weston);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland.moc"
