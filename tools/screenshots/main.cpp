// Saves pictures of the client's windows in each face and language, for the demo and
// the docs. Run it with a throwaway profile: it writes a server list of its own.
#include "app/ApplicationAttributes.h"
#include "app/CMainWindow.h"
#include "app/Shell.h"
#include "config/DataDirectory.h"
#include "config/ServerConfigFile.h"
#include "dialogs/CAboutUI.h"
#include "dialogs/CMachineCodeUI.h"
#include "dialogs/CSetting.h"
#include "dialogs/CSwitchModeUI.h"
#include "login/CLoginUI.h"
#include "proxy/CProxyLoginUI.h"
#include "update/CCheckUpdateUI.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTextStream>
#include <QTimer>

namespace {
const QVector<ServerEntry> DemoServers {
    {QStringLiteral("Head office"), QStringLiteral("https://files.example.com"), false},
    {QStringLiteral("Lab"), QStringLiteral("https://lab.example.com:8443"), true},
};
const char* const LanguageSuffixes[] = {"en", "zh"};

void save(QWidget* window, const QString& folder, const QString& name)
{
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (window->grab().save(path)) {
        QTextStream(stdout) << path << '\n';
    } else {
        QTextStream(stderr) << "cannot write " << path << '\n';
    }
}

template<typename Dialog>
void shootDialog(const QString& folder, const QString& name)
{
    Dialog dialog;
    dialog.show();
    save(&dialog, folder, name);
}

void shootDialogs(const QString& folder, const QString& suffix)
{
    shootDialog<CAboutUI>(folder, QStringLiteral("dialog-about") + suffix);
    shootDialog<CSetting>(folder, QStringLiteral("dialog-settings") + suffix);
    shootDialog<CMachineCodeUI>(folder, QStringLiteral("dialog-device-code") + suffix);
    shootDialog<CSwitchModeUI>(folder, QStringLiteral("dialog-mode-switch") + suffix);
    CProxyLoginUI proxyLogin(QStringLiteral("proxy.example.com:3128"), QStringLiteral("alice"));
    proxyLogin.show();
    save(&proxyLogin, folder, QStringLiteral("dialog-proxy-login") + suffix);
}

// Runs an update check against NORV_UPDATE_HOST and saves the dialog it shows.
void shootUpdateCheck(CMainWindow* window, const QString& folder, const QString& suffix)
{
    QEventLoop done;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        CCheckUpdateUI* dialog = window->updateDialog;
        if (dialog && dialog->isVisible()) {
            save(dialog, folder, QStringLiteral("dialog-update-check") + suffix);
            dialog->close();
            done.quit();
        }
    });
    watcher.start(50);
    QTimer::singleShot(20000, &done, &QEventLoop::quit);
    window->slot_checkupdate(false);
    done.exec();
}

// The demo portal's certificate comes from a test authority that only this program is told to trust.
void trustDemoAuthority()
{
    const QString authority = qEnvironmentVariable("NORV_TRUST_CA");
    if (authority.isEmpty()) {
        return;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(tls.caCertificates() + QSslCertificate::fromPath(authority));
    QSslConfiguration::setDefaultConfiguration(tls);
}

void shootLoginFaces(CMainWindow* window, const QString& folder, const QString& suffix)
{
    CLoginUI* login = window->loginUI;
    login->setBrowserMode(false);
    login->show();
    save(login, folder, QStringLiteral("login-select") + suffix);
    login->setNewServerMode(true);
    save(login, folder, QStringLiteral("login-new-server") + suffix);
    login->setBrowserMode(true);
    save(login, folder, QStringLiteral("login-browser-mode") + suffix);
}
} // namespace

int main(int argc, char** argv)
{
    ApplicationAttributes::apply();
    QApplication app(argc, argv);
    const QString folder = app.arguments().value(1, QStringLiteral("."));
    QDir().mkpath(folder);
    trustDemoAuthority();

    QDir().mkpath(DataDirectory::path());
    ServerConfigFile().write(DemoServers);
    // No handle_show: each face is shown here, and its automatic login would connect the demo's default server.
    const ShellWindows shell = Shell::build();
    CMainWindow* window = shell.mainWindow;
    window->loginUI->setMenuBar(window->mainMenuBar);
    for (const int language : {0, 1}) {
        const QString suffix = QLatin1Char('-') + QString::fromLatin1(LanguageSuffixes[language]);
        window->slot_switch_language(language);
        shootLoginFaces(window, folder, suffix);
        shootDialogs(folder, suffix);
        if (!qEnvironmentVariableIsEmpty("NORV_UPDATE_HOST")) {
            shootUpdateCheck(window, folder, suffix);
        }
    }
    Shell::stop(shell);
    return 0;
}
