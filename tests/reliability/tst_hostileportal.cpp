// A hostile portal: a title that changes after the page was judged, pages that try to open
// windows, and a script that calls the local service without the device id.
#include "app/CMainWindow.h"
#include "app/PortalContract.h"
#include "common/PageScript.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "core/TesselHttpd.h"
#include "login/CLoginUI.h"
#include "web/CWebEngineView.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <algorithm>
#include <map>

namespace {
const int LoadTimeoutMs = 30000;
const int ScriptTimeoutMs = 10000;
// Time for anything a page started after its load to take effect.
const int AfterLoadMs = 1500;
const QString PortalTitle = QString::fromLatin1(PortalMarker) + QStringLiteral(" portal");

// Serves fixed pages on loopback; the page is chosen by the first segment of the path.
class PageServer : public QTcpServer
{
public:
    PageServer() { listen(QHostAddress::LocalHost); }
    std::map<QByteArray, QByteArray> pages;

    QString address(const char* page) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(QString::fromLatin1(page));
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const QByteArray request = socket->readAll();
            const QByteArray path = request.split(' ').value(1);
            const QByteArray page = path.mid(1).split('/').value(0).split('?').value(0);
            const auto found = pages.find(page);
            const QByteArray body = found == pages.end() ? QByteArray() : found->second;
            socket->write("HTTP/1.1 " + QByteArray(found == pages.end() ? "404 Not Found" : "200 OK")
                          + "\r\nContent-Type: text/html; charset=utf-8\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
};

QByteArray page(const QString& title, const QString& script)
{
    return QStringLiteral("<!doctype html><html><head><title>%1</title></head><body><a id=\"out\" "
                          "href=\"http://127.0.0.1:1/\" target=\"_blank\">x</a><script>%2</script></body></html>")
        .arg(title, script)
        .toUtf8();
}

} // namespace

class TestHostilePortal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void titleGainingTheMarkerLateIsNotAPortal();
    void titleChangingAfterLoadChangesNothing();
    void newWindowsAreNotOpened();
    void localServiceWithoutDeviceIdDoesNothing();

private:
    bool login(const char* pageName);
    QString pageResult();

    PageServer m_server;
    CMainWindow* m_window = nullptr;
    CLoginUI* m_login = nullptr;
};

void TestHostilePortal::initTestCase()
{
    m_window = ShellFixture::start();
    m_login = m_window->loginUI;
    const QString service = QStringLiteral("http://127.0.0.1:%1").arg(m_window->httpd->port());
    m_server.pages["late-title"] = page(
        QStringLiteral("plain"), QStringLiteral("setTimeout(() => { document.title = '%1'; }, 300);").arg(PortalTitle));
    m_server.pages["changing-title"] =
        page(PortalTitle, QStringLiteral("setTimeout(() => { document.title = '<b>' + 'x'.repeat(100000); }, 300);"));
    m_server.pages["windows"] =
        page(PortalTitle,
             QStringLiteral("window.__result = String(window.open('http://127.0.0.1:1/a', '_blank'));"
                            "document.getElementById('out').click();"));
    m_server.pages["no-device-id"] = page(PortalTitle,
                                          QStringLiteral("fetch('%1/browser-active', {method: 'POST', body: 'x'})"
                                                         ".then(r => { window.__result = String(r.status); },"
                                                         "      () => { window.__result = 'blocked'; });")
                                              .arg(service));
    QVERIFY(QTest::qWaitForWindowExposed(m_login));
}

void TestHostilePortal::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

bool TestHostilePortal::login(const char* pageName)
{
    m_window->handle_load(QStringLiteral("hostile"), m_server.address(pageName), true);
    return QTest::qWaitFor([this] { return !m_window->loading; }, LoadTimeoutMs);
}

QString TestHostilePortal::pageResult()
{
    QString result;
    const auto answered = [&] {
        result = PageScript::evaluate(m_window->webView->page(), QStringLiteral("window.__result"), ScriptTimeoutMs)
                     .toString();
        return !result.isEmpty();
    };
    return QTest::qWaitFor(answered, ScriptTimeoutMs) ? result : QString();
}

void TestHostilePortal::titleGainingTheMarkerLateIsNotAPortal()
{
    QVERIFY(login("late-title"));
    QTest::qWait(AfterLoadMs);
    QCOMPARE(m_window->webView->page()->title(), PortalTitle);
    // The page was judged once, when it finished loading.
    QVERIFY(!m_window->inPortal);
}

void TestHostilePortal::titleChangingAfterLoadChangesNothing()
{
    QVERIFY(login("changing-title"));
    QVERIFY(m_window->inPortal);
    const QString windowTitle = m_window->windowTitle();
    QTest::qWait(AfterLoadMs);
    QVERIFY(m_window->webView->page()->title().startsWith(QStringLiteral("<b>")));
    QVERIFY(m_window->inPortal);
    QCOMPARE(m_window->windowTitle(), windowTitle);
}

void TestHostilePortal::newWindowsAreNotOpened()
{
    QVERIFY(login("windows"));
    QVERIFY(m_window->inPortal);
    // The engine may hand the script a window object; what counts is that no window appears.
    QVERIFY(!pageResult().isEmpty());
    QTest::qWait(AfterLoadMs);
    // A new window would be a web view of its own, outside the main window.
    const QWidgetList windows = QApplication::topLevelWidgets();
    QVERIFY(std::none_of(windows.cbegin(), windows.cend(), [](QWidget* window) {
        return qobject_cast<QWebEngineView*>(window) != nullptr;
    }));
    QVERIFY(m_window->webView->url().toString().startsWith(m_server.address("windows")));
}

void TestHostilePortal::localServiceWithoutDeviceIdDoesNothing()
{
    QSignalSpy browserActive(m_window, &CMainWindow::sig_browserActive);
    QVERIFY(login("no-device-id"));
    QVERIFY(m_window->inPortal);
    const QString result = pageResult();
    // Refused by the service, or unreadable to the page because the refusal names no origin.
    QVERIFY2(result == QStringLiteral("403") || result == QStringLiteral("blocked"), qPrintable(result));
    QTest::qWait(AfterLoadMs);
    QCOMPARE(browserActive.count(), 0);
    QVERIFY(m_window->webView);
    QVERIFY(m_window->inPortal);
}

NORV_TEST_MAIN(TestHostilePortal)
#include "tst_hostileportal.moc"
