#include "app/ApplicationFont.h"
#include "app/ApplicationId.h"
#include "app/CMainWindow.h"
#include "app/InstanceGuard.h"
#include "app/MemoryPolicy.h"
#include "login/CLoginUI.h"

#include <QApplication>

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    // Qt WebEngine shares its GL contexts with the widgets; it must be said before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // Lets desktops link the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ApplicationId));
    // Only the exit routine ends the process; closing or hiding windows never does.
    QApplication::setQuitOnLastWindowClosed(false);

    if (InstanceGuard::anotherInstanceRunning()) {
        return 0;
    }
    ApplicationFont::apply();

    auto* mainWindow = new CMainWindow;
    mainWindowInstance = mainWindow;
    mainWindow->loginUI = new CLoginUI;
    mainWindow->initLayout();
    mainWindow->slot_switch_language(mainWindow->language);
    mainWindow->initCore();
    mainWindow->handle_show();
    return QApplication::exec();
}
