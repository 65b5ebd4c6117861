#include "app/CMainWindow.h"
#include "app/PortalContract.h"
#include "common/DemoPortalProcess.h"
#include "common/DesktopSession.h"
#include "common/ProcessSet.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "dialogs/CAboutUI.h"
#include "dialogs/CMachineCodeUI.h"
#include "dialogs/CMiniTray.h"
#include "dialogs/CSetting.h"
#include "dialogs/CSwitchModeUI.h"
#include "login/CCombox.h"
#include "login/CLoginUI.h"
#include "proxy/CProxyLoginUI.h"
#include "transfers/CertificateChangeUI.h"
#include "update/CCheckUpdateUI.h"
#include "web/CWebEngineView.h"

#include <QAccessible>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSslCertificate>

#include <algorithm>
#include <functional>
#include <tuple>

// What each row puts on screen; returns the window whose focus chain is walked, if any.
using Opener = std::function<QWidget*(CMainWindow*)>;
Q_DECLARE_METATYPE(Opener)

// The windows as a screen reader sees them, through AT-SPI on the test's own session bus, and
// the way in to the portal with the keyboard alone.
namespace {
const int TimeoutMs = 60000;
const int English = 0;
const int Chinese = 1;
const QString Marker = QString::fromLatin1(PortalMarker);
const QSet<QString> InteractiveRoles {QStringLiteral("push button"),
                                      QStringLiteral("check box"),
                                      QStringLiteral("text"),
                                      QStringLiteral("entry"),
                                      QStringLiteral("password text"),
                                      QStringLiteral("combo box"),
                                      QStringLiteral("list item"),
                                      QStringLiteral("menu"),
                                      QStringLiteral("menu item"),
                                      QStringLiteral("check menu item"),
                                      QStringLiteral("radio menu item"),
                                      QStringLiteral("link")};
// Reached by F10 or from their box with the arrow keys, not by Tab.
const QSet<QString> ArrowKeyRoles {QStringLiteral("list item"),
                                   QStringLiteral("menu"),
                                   QStringLiteral("menu item"),
                                   QStringLiteral("check menu item"),
                                   QStringLiteral("radio menu item")};

// A dialog on its own, so the tree and the focus chain are the dialog's only.
QWidget* shown(CMainWindow* window, QDialog* dialog)
{
    window->loginUI->hide();
    dialog->show();
    return dialog;
}

CLoginUI* selectionWindowOf(CMainWindow* window)
{
    if (window->inPortal) {
        window->actExitServer->trigger();
    }
    window->loginUI->show();
    return window->loginUI;
}

QWidget* selectionWindow(CMainWindow* window, bool newServer)
{
    window->loginUI->setNewServerMode(newServer);
    window->loginUI->show();
    return window->loginUI;
}

// An address of the user's (a saved server's row) reads the same in every language.
bool languageNeutral(const QString& name)
{
    return name.contains(QStringLiteral("://"))
        || (!name.contains(QLatin1Char(' ')) && name.contains(QLatin1Char('.')));
}

bool inLanguage(const QString& name, int language)
{
    const bool chinese = name.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")));
    return language == Chinese ? chinese || languageNeutral(name) : !chinese;
}

QString accessibleName(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The accessible names of what has the focus: the widget, the control it is part of, and the
// parts that pass their focus to it (an editable box's field).
QStringList focusedNames()
{
    QWidget* focused = QApplication::focusWidget();
    QStringList names;
    for (QWidget* widget = focused; widget && !widget->isWindow(); widget = widget->parentWidget()) {
        names << accessibleName(widget);
    }
    for (QWidget* part :
         focused ? focused->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly) : QList<QWidget*>()) {
        if (part->focusProxy() == focused) {
            names << accessibleName(part);
        }
    }
    return names;
}
} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void keyboardAloneLogsInAndThePageIsExposed();
    void keyboardPicksTheSavedServer();
    void everyControlIsNamedInTheLanguageAndReached_data();
    void everyControlIsNamedInTheLanguageAndReached();

private:
    // Every node shown on screen, as the accessibility bus reports it.
    QJsonArray accessibleTree();
    void pressKeys(const QStringList& xdotoolArguments);
    // Whether the engine's tree of the portal's page is on the bus.
    bool pageExposed();

    ProcessSet m_processes;
    DemoPortalProcess m_portal;
    CMainWindow* m_window = nullptr;
};

void TestAccessibility::initTestCase()
{
    QVERIFY2(qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), "run through ctest");
    QVERIFY2(DesktopSession::windowManagerRuns(), "keys go to the active window: scripts/test starts openbox");
    QVERIFY(m_portal.start(m_processes, DemoPortalProcess::httpsArguments()));
    m_window = ShellFixture::start();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->loginUI));
}

void TestAccessibility::cleanupTestCase()
{
    if (m_window) {
        ShellFixture::stop(m_window);
    }
}

void TestAccessibility::cleanup()
{
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog*>(window)) {
            window->deleteLater();
        }
    }
    m_window->loginUI->setBrowserMode(false);
    if (m_window->inPortal) {
        m_window->actExitServer->trigger();
    }
}

QJsonArray TestAccessibility::accessibleTree()
{
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(NORV_ATSPI_TREE), QString::number(QCoreApplication::applicationPid())});
    // The reader asks this process over the bus: the event loop must run to answer it.
    [&reader] {
        QTRY_VERIFY_WITH_TIMEOUT(reader.state() == QProcess::NotRunning, TimeoutMs);
    }();
    const QByteArray errors = reader.readAllStandardError();
    if (reader.exitCode() != 0) {
        qWarning("%s", errors.constData());
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
}

void TestAccessibility::pressKeys(const QStringList& xdotoolArguments)
{
    int exitCode = -1;
    DesktopSession::runTool(QStringList {QStringLiteral("xdotool")} + xdotoolArguments, &exitCode);
    QCOMPARE(exitCode, 0);
}

void TestAccessibility::keyboardAloneLogsInAndThePageIsExposed()
{
    CLoginUI* login = m_window->loginUI;
    QVERIFY(login->comboServer->isHidden());
    login->activateWindow();
    QTRY_VERIFY_WITH_TIMEOUT(login->isActiveWindow(), TimeoutMs);
    // The window opens in the address field, and Return anywhere means Continue.
    QTRY_VERIFY_WITH_TIMEOUT(login->editAddress->hasFocus(), TimeoutMs);
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(m_portal.port);
    pressKeys({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), address});
    QTRY_COMPARE_WITH_TIMEOUT(login->editAddress->text(), address, TimeoutMs);
    pressKeys({QStringLiteral("key"), QStringLiteral("Tab")});
    pressKeys({QStringLiteral("type"), QStringLiteral("Demo")});
    QTRY_COMPARE_WITH_TIMEOUT(login->editAlias->text(), QStringLiteral("Demo"), TimeoutMs);
    pressKeys({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(m_window->inPortal && m_window->webView->title().contains(Marker), TimeoutMs);

    // The engine's own tree of the page reaches the bus through the view.
    QTRY_VERIFY_WITH_TIMEOUT(pageExposed(), TimeoutMs);
}

void TestAccessibility::keyboardPicksTheSavedServer()
{
    CLoginUI* login = selectionWindowOf(m_window);
    login->comboServer->setCurrentText(QString());
    QTRY_VERIFY_WITH_TIMEOUT((login->activateWindow(), login->isActiveWindow()), TimeoutMs);
    login->comboServer->setFocus(Qt::TabFocusReason);
    pressKeys({QStringLiteral("key"), QStringLiteral("alt+Down")});
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), TimeoutMs);
    pressKeys({QStringLiteral("key"), QStringLiteral("Return")});
    const QString saved = QStringLiteral("Demo (https://127.0.0.1:%1)").arg(m_portal.port);
    QTRY_COMPARE_WITH_TIMEOUT(login->comboServer->currentText(), saved, TimeoutMs);
}

bool TestAccessibility::pageExposed()
{
    const QJsonArray tree = accessibleTree();
    return std::any_of(tree.begin(), tree.end(), [](const QJsonValue& node) {
        return node[QStringLiteral("role")].toString().startsWith(QStringLiteral("document"))
            && node[QStringLiteral("name")].toString().contains(Marker);
    });
}

void TestAccessibility::everyControlIsNamedInTheLanguageAndReached_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<Opener>("open");
    // Pressed once the window is active: it opens a popup, whose rows the arrow keys reach.
    QTest::addColumn<QString>("key");
    const QList<std::tuple<const char*, Opener, QString>> windows {
        {"new server", [](CMainWindow* window) { return selectionWindow(window, true); }, {}},
        {"saved servers", [](CMainWindow* window) { return selectionWindow(window, false); }, {}},
        {"server list",
         [](CMainWindow* window) {
             selectionWindow(window, false);
             window->loginUI->comboServer->showPopup();
             return nullptr;
         },
         {}},
        {"menus", [](CMainWindow* window) { return selectionWindow(window, false); }, QStringLiteral("F10")},
        {"tray menu",
         [](CMainWindow* window) {
             window->tray->trayMenu->popup(QPoint(100, 100));
             return nullptr;
         },
         {}},
        {"browser mode",
         [](CMainWindow* window) {
             window->loginUI->setBrowserMode(true);
             window->loginUI->show();
             return window->loginUI;
         },
         {}},
        {"about", [](CMainWindow* window) { return shown(window, new CAboutUI); }, {}},
        {"settings", [](CMainWindow* window) { return shown(window, new CSetting); }, {}},
        {"device code", [](CMainWindow* window) { return shown(window, new CMachineCodeUI); }, {}},
        {"mode switch", [](CMainWindow* window) { return shown(window, new CSwitchModeUI); }, {}},
        {"update", [](CMainWindow* window) { return shown(window, new CCheckUpdateUI(false)); }, {}},
        {"proxy login",
         [](CMainWindow* window) {
             return shown(window, new CProxyLoginUI(QStringLiteral("proxy.example"), QString()));
         },
         {}},
        {"certificate change",
         [](CMainWindow* window) {
             return shown(
                 window,
                 new CertificateChangeUI(QStringLiteral("portal.example"), QByteArray(32, 'a'), QSslCertificate()));
         },
         {}},
    };
    for (int language : {English, Chinese}) {
        for (const auto& [name, open, key] : windows) {
            QTest::addRow("%s, %s", name, language == English ? "English" : "Chinese") << language << open << key;
        }
    }
}

void TestAccessibility::everyControlIsNamedInTheLanguageAndReached()
{
    QFETCH(int, language);
    QFETCH(Opener, open);
    QFETCH(QString, key);
    m_window->slot_switch_language(language);
    QPointer<QWidget> window = open(m_window);
    if (window) {
        QTRY_VERIFY_WITH_TIMEOUT((window->activateWindow(), window->isActiveWindow()), TimeoutMs);
    }
    if (!key.isEmpty()) {
        pressKeys({QStringLiteral("key"), key});
        window.clear();
    }
    if (!window) {
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget(), TimeoutMs);
    }

    QStringList unnamed;
    QStringList controls;
    for (const QJsonValue& node : accessibleTree()) {
        const QString role = node[QStringLiteral("role")].toString();
        const QString name = node[QStringLiteral("name")].toString();
        if (!InteractiveRoles.contains(role)) {
            continue;
        }
        if (name.isEmpty() || !inLanguage(name, language)) {
            unnamed << role + QStringLiteral(" \"") + name + QLatin1Char('"');
        } else if (node[QStringLiteral("enabled")].toBool() && !ArrowKeyRoles.contains(role)) {
            controls << name;
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(QStringLiteral("unnamed or not in the language: ") + unnamed.join(", ")));
    if (!window) {
        return;
    }
    QVERIFY2(!controls.isEmpty(), "the window did not reach the accessibility bus");
    // Tab from control to control, around the chain and once more: every control comes up.
    QSet<QString> reached;
    for (int step = 0; step < 2 * controls.size() + 2; ++step) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.data(), Qt::Key_Tab);
        const QStringList names = focusedNames();
        reached.unite(QSet<QString>(names.cbegin(), names.cend()));
    }
    for (const QString& control : controls) {
        QVERIFY2(reached.contains(control), qPrintable(QStringLiteral("Tab never reaches ") + control));
    }
    if (qobject_cast<QDialog*>(window)) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), TimeoutMs);
    }
}

NORV_TEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
