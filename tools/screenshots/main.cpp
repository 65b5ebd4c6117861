// Saves pictures of the client's windows in each face and language, for the demo and
// the docs. Run it with a throwaway profile: it writes a server list of its own.
#include "app/ApplicationFont.h"
#include "app/CMainWindow.h"
#include "config/DataDirectory.h"
#include "config/ServerConfigFile.h"
#include "dialogs/CAboutUI.h"
#include "dialogs/CMachineCodeUI.h"
#include "dialogs/CSetting.h"
#include "dialogs/CSwitchModeUI.h"
#include "login/CLoginUI.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

namespace {
const QVector<ServerEntry> DemoServers{
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
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString folder = app.arguments().value(1, QStringLiteral("."));
    QDir().mkpath(folder);
    ApplicationFont::apply();

    QDir().mkpath(DataDirectory::path());
    ServerConfigFile().write(DemoServers);
    auto* window = new CMainWindow;
    mainWindowInstance = window;
    window->loginUI = new CLoginUI;
    window->initLayout();
    window->loginUI->setMenuBar(window->mainMenuBar);
    window->initCore();
    for (const int language : {0, 1}) {
        const QString suffix = QLatin1Char('-') + QString::fromLatin1(LanguageSuffixes[language]);
        window->slot_switch_language(language);
        shootLoginFaces(window, folder, suffix);
        shootDialogs(folder, suffix);
    }
    window->handle_exit_application();
    return 0;
}
