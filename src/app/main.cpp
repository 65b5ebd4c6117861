#include "app/ApplicationAttributes.h"
#include "app/ApplicationId.h"
#include "app/LaunchChannel.h"
#include "app/Shell.h"
#include "platform/FontPreload.h"
#include "platform/InstanceGuard.h"
#include "platform/MemoryPolicy.h"

#include <QApplication>

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    const FontPreload fontPreload;
    ApplicationAttributes::apply();
    const QByteArray startupToken = LaunchChannel::startupToken();
    QApplication app(argc, argv);
    // Lets desktops link the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ApplicationId));

    if (InstanceGuard::anotherInstanceRunning()) {
        // Started from the menu while the client runs, perhaps hidden in the tray: show it.
        // The autostart entry's and browser mode's starts pass arguments and ask nothing.
        if (QCoreApplication::arguments().size() == 1) {
            LaunchChannel::askToShow(startupToken);
        }
        return 0;
    }
    Shell::start(QCoreApplication::arguments());
    return QApplication::exec();
}
