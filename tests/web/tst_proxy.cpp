#include "app/CMainWindow.h"
#include "common/DemoPortalProcess.h"
#include "common/FileServer.h"
#include "common/ProcessSet.h"
#include "common/RawHttp.h"
#include "common/ShellFixture.h"
#include "common/TestCertificates.h"
#include "common/TestEnvironment.h"
#include "common/TinyProxy.h"
#include "core/TesselPortal.h"
#include "core/transfer/CertificateTrust.h"
#include "core/transfer/ProxyRoute.h"
#include "core/transfer/TransferAgent.h"
#include "i18n/CTextTable.h"
#include "proxy/CProxyLoginUI.h"
#include "update/CCheckUpdateUI.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

namespace {
const QByteArray ProxyUser = QByteArrayLiteral("norv");
const QByteArray ProxyPassword = QByteArrayLiteral("proxy-secret");
const int TransferTimeoutMs = 60000;
const int LoadTimeoutMs = 60000;
// This machine, by an address that neither Qt Network nor the web engine counts as loopback,
// which both would never send through a proxy.
const QString ProxiedHost = QStringLiteral("0.0.0.0");
// Named in no_proxy, or DIRECT by the PAC file: the client must look it up itself, so the
// proxy never hears of it.
const QString DirectHost = QStringLiteral("direct.invalid");
// Which settings name the proxy: the environment, unless the test is run to have GNOME's
// settings name it, or a PAC file named by GNOME's settings or by the environment.
const char SettingsVariable[] = "NORV_TEST_PROXY_SETTINGS";
const QByteArray GnomeManual = QByteArrayLiteral("gnome-manual");
const QByteArray GnomePac = QByteArrayLiteral("gnome-pac");
const QByteArray EnvironmentPac = QByteArrayLiteral("environment-pac");
// A company's PAC file: a proxy that is down comes first, then the real one, then DIRECT.
const char PacScript[] = "function FindProxyForURL(url, host) {\n"
                         "  if (host == \"%1\") return \"PROXY 127.0.0.1:%2; PROXY %3; DIRECT\";\n"
                         "  return \"DIRECT\";\n"
                         "}\n";
// GNOME's proxy settings in GLib's key file back-end, under the test's own XDG_CONFIG_HOME.
const char GnomePacKeyFile[] = "[system/proxy]\nmode='auto'\nautoconfig-url='%1'\n";
const char GnomeManualKeyFile[] = "[system/proxy]\nmode='manual'\nignore-hosts=['%1']\n"
                                  "[system/proxy/http]\nhost='127.0.0.1'\nport=%2\n"
                                  "[system/proxy/https]\nhost='127.0.0.1'\nport=%2\n";

struct Login
{
    QString user;
    QString password;
};

// The demo portal's page over TLS, read directly (the test's own requests use no proxy).
QByteArray portalPage(quint16 port)
{
    QSslSocket socket;
    socket.setCaCertificates(QSslCertificate::fromPath(TestCertificates::file("ca.pem")));
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForEncrypted(RawHttp::ReplyTimeoutMs)) {
        return {};
    }
    socket.write(RawHttp::getRequest(port, "/app/login?uuid=1"));
    return RawHttp::readReply(socket).body;
}
} // namespace

// The page, the update check and the transfer agent behind a real proxy that wants a login
// (tinyproxy with BasicAuth), set the ways users and companies set it: http_proxy, https_proxy
// and no_proxy, or GNOME's settings naming a PAC file.
class TestProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void uploadAsksForTheLoginAgainAfterAWrongAnswer();
    void loginPageGoesThroughWithTheSameLogin();
    void versionFileGoesThroughWithTheSameLogin();
    void directHostIsNeverSentToTheProxy();

private:
    QString proxiedOrigin() const;
    // The proxy named by the environment, or by a PAC file that GNOME's settings or the
    // environment name.
    bool configureProxy();
    bool writeGnomeSettings(const QString& keyFileText);
    bool loadPortal(const QString& origin);
    // Runs an update check against host and returns the message its dialog showed.
    QString updateCheckMessage(const QByteArray& host);
    // What the proxy logged since the case began.
    QByteArray newLog() const;

    ProcessSet m_processes;
    TinyProxy m_proxy;
    FileServer m_pacServer;
    DemoPortalProcess m_portal;
    QTemporaryDir m_folder;
    QByteArray m_token;
    CMainWindow* m_window = nullptr;
    QTimer m_dialogWatcher;
    QList<Login> m_answers;
    int m_dialogsShown = 0;
    int m_logSeen = 0;
};

void TestProxy::initTestCase()
{
    QVERIFY(m_proxy.start(m_processes, ProxyUser, ProxyPassword));
    QVERIFY(m_portal.start(m_processes,
                           DemoPortalProcess::httpsArguments()
                               << QStringLiteral("--data") << m_folder.filePath(QStringLiteral("data"))));
    m_token = QRegularExpression(QStringLiteral("PortalToken = \"([0-9a-f]+)\""))
                  .match(QString::fromUtf8(portalPage(m_portal.port)))
                  .captured(1)
                  .toLatin1();
    QVERIFY(!m_token.isEmpty());
    TestCertificates::trustTestAuthority();

    QVERIFY(configureProxy());
    // Not started for a command line: no automatic login, the test loads each portal itself.
    m_window = ShellFixture::build();
    // What the view hands over when it accepts the portal's certificate, before the agent's first request.
    const QList<QSslCertificate> leaf = QSslCertificate::fromPath(TestCertificates::file("cert.pem"));
    QVERIFY(!leaf.isEmpty());
    m_window->portal->certificateTrust().pin(QUrl(proxiedOrigin()), leaf.first().toDer());

    // Answers each proxy login dialog with the next answer, from the keyboard.
    connect(&m_dialogWatcher, &QTimer::timeout, this, [this] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<CProxyLoginUI*>(widget);
            if (!dialog || !dialog->isVisible() || dialog->property("answered").toBool()) {
                continue;
            }
            dialog->setProperty("answered", true);
            ++m_dialogsShown;
            const Login answer = m_answers.isEmpty() ? Login() : m_answers.takeFirst();
            dialog->userEdit->setText(answer.user);
            QTest::keyClicks(dialog->passwordEdit, answer.password);
            QTest::keyClick(dialog->passwordEdit, Qt::Key_Return);
        }
    });
    m_dialogWatcher.start(20);
}

void TestProxy::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestProxy::init()
{
    m_logSeen = m_proxy.log().size();
}

QByteArray TestProxy::newLog() const
{
    return m_proxy.log().mid(m_logSeen);
}

bool TestProxy::configureProxy()
{
    const QByteArray settingsKind = qgetenv(SettingsVariable);
    const QUrl proxy(QString::fromLatin1(m_proxy.address()));
    if (settingsKind.isEmpty()) {
        qputenv("http_proxy", m_proxy.address());
        qputenv("https_proxy", m_proxy.address());
        qputenv("no_proxy", DirectHost.toLatin1());
        return true;
    }
    if (settingsKind == GnomeManual) {
        return writeGnomeSettings(QString::fromLatin1(GnomeManualKeyFile).arg(DirectHost).arg(proxy.port()));
    }
    const QString pac = QString::fromLatin1(PacScript).arg(ProxiedHost).arg(closedPort()).arg(proxy.authority());
    const QUrl pacUrl =
        m_pacServer.start(m_processes) ? m_pacServer.put(QStringLiteral("company.pac"), pac.toUtf8()) : QUrl();
    if (pacUrl.isEmpty()) {
        return false;
    }
    if (settingsKind == EnvironmentPac) {
        qputenv("http_proxy", "pac+" + pacUrl.toEncoded());
        qputenv("https_proxy", "pac+" + pacUrl.toEncoded());
        return true;
    }
    return writeGnomeSettings(QString::fromLatin1(GnomePacKeyFile).arg(pacUrl.toString()));
}

bool TestProxy::writeGnomeSettings(const QString& keyFileText)
{
    const QString keyFile = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/glib-2.0/settings/keyfile");
    QFile settings(keyFile);
    if (!QDir().mkpath(QFileInfo(keyFile).path()) || !settings.open(QIODevice::WriteOnly)) {
        return false;
    }
    settings.write(keyFileText.toUtf8());
    qputenv("GSETTINGS_BACKEND", "keyfile");
    // Where libproxy, like GNOME's own programs, takes GNOME's settings over the environment.
    qputenv("DESKTOP_SESSION", "gnome");
    return true;
}

QString TestProxy::proxiedOrigin() const
{
    return QStringLiteral("https://%1:%2").arg(ProxiedHost).arg(m_portal.port);
}

bool TestProxy::loadPortal(const QString& origin)
{
    m_window->handle_load(QStringLiteral("Demo"), origin, true);
    QTest::qWaitFor([this] { return !m_window->loading; }, LoadTimeoutMs);
    return m_window->inPortal;
}

QString TestProxy::updateCheckMessage(const QByteArray& host)
{
    qputenv("NORV_UPDATE_HOST", host);
    QString message;
    // The dialog runs modally: it is read and closed from inside its own loop.
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        CCheckUpdateUI* dialog = m_window->updateDialog;
        if (dialog && dialog->isVisible() && message.isEmpty()) {
            message = dialog->messageLabel->text();
            dialog->close();
        }
    });
    watcher.start(20);
    m_window->slot_checkupdate(false);
    QTest::qWaitFor([&] { return !message.isEmpty(); }, LoadTimeoutMs);
    return message;
}

void TestProxy::uploadAsksForTheLoginAgainAfterAWrongAnswer()
{
    m_answers = {{QString::fromLatin1(ProxyUser), QStringLiteral("wrong")},
                 {QString::fromLatin1(ProxyUser), QString::fromLatin1(ProxyPassword)}};
    const QString path = m_folder.filePath(QStringLiteral("report.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("through the proxy");
    file.close();
    // Dropped on the portal of that origin, as if it were loaded.
    const QString origin = proxiedOrigin();
    m_window->portal->setPortalOrigins({}, QUrl(origin));
    m_window->portal->grantDroppedPath(path);
    TransferAgent* agent = m_window->portal->transferAgent();
    const HeaderList headers {{"Authorization", "Bearer " + m_token}};
    const TransferAgent::Outcome started = agent->call(
        [&] { return agent->startUpload(path, QUrl(origin + QStringLiteral("/files/")), {}, headers, origin); });
    QCOMPARE(int(started.verdict), int(TransferAgent::Verdict::Ok));
    const QString id = started.transfer.value(QStringLiteral("id")).toString();
    QString state;
    QTRY_VERIFY_WITH_TIMEOUT(
        (state = agent->call([&] { return agent->list(); }).first()[QStringLiteral("state")].toString())
                == QStringLiteral("done")
            || state == QStringLiteral("failed"),
        TransferTimeoutMs);
    QCOMPARE(state, QStringLiteral("done"));
    QCOMPARE(m_dialogsShown, 2);
    QVERIFY(newLog().contains("CONNECT " + ProxiedHost.toLatin1() + ':' + QByteArray::number(m_portal.port)));
}

void TestProxy::loginPageGoesThroughWithTheSameLogin()
{
    const int shownBefore = m_dialogsShown;
    QVERIFY(loadPortal(proxiedOrigin()));
    QCOMPARE(m_dialogsShown, shownBefore);
    QVERIFY(newLog().contains("CONNECT " + ProxiedHost.toLatin1() + ':' + QByteArray::number(m_portal.port)));
}

void TestProxy::versionFileGoesThroughWithTheSameLogin()
{
    const int shownBefore = m_dialogsShown;
    const QByteArray host = ProxiedHost.toLatin1() + ':' + QByteArray::number(m_portal.port);
    // The demo portal publishes the running version.
    QCOMPARE(updateCheckMessage(host), m_window->textTable->UseNewestVersion);
    QCOMPARE(m_dialogsShown, shownBefore);
    QVERIFY(newLog().contains("CONNECT " + host));
}

void TestProxy::directHostIsNeverSentToTheProxy()
{
    // Looked up by the client itself, the name fails; through the proxy it would be logged.
    m_window->slot_exitServer();
    QVERIFY(!loadPortal(QStringLiteral("http://") + DirectHost));
    QCOMPARE(updateCheckMessage(DirectHost.toLatin1()), m_window->textTable->CheckUpdateFailed);
    QVERIFY(!newLog().contains(DirectHost.toLatin1()));
    // The agent asks the same decision for each request.
    QCOMPARE(ProxyRoute::forUrl(QUrl(QStringLiteral("https://") + DirectHost)), QList<QByteArray> {QByteArray()});
    QVERIFY(ProxyRoute::forUrl(QUrl(proxiedOrigin())).contains(m_proxy.address()));
}

NORV_TEST_MAIN(TestProxy)
#include "tst_proxy.moc"
