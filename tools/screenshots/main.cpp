// Saves pictures of the client's windows in each face and language, for the demo and
// the docs. Run it with a throwaway profile: it writes a server list of its own.
#include "app/ApplicationFont.h"
#include "app/CMainWindow.h"
#include "config/DataDirectory.h"
#include "config/ServerConfigFile.h"
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

void shootLoginFaces(CMainWindow* window, const QString& folder, int language)
{
    const QString suffix = QLatin1Char('-') + QString::fromLatin1(LanguageSuffixes[language]);
    CLoginUI* login = window->loginUI;
    window->slot_switch_language(language);
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
    for (const int language : {0, 1}) {
        shootLoginFaces(window, folder, language);
    }
    return 0;
}
