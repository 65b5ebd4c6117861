#include "app/ApplicationAttributes.h"
#include "app/ApplicationId.h"
#include "app/Shell.h"
#include "platform/InstanceGuard.h"
#include "platform/MemoryPolicy.h"

#include <QApplication>

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    ApplicationAttributes::apply();
    QApplication app(argc, argv);
    // Lets desktops link the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(ApplicationId));

    if (InstanceGuard::anotherInstanceRunning()) {
        return 0;
    }
    Shell::start(QCoreApplication::arguments());
    return QApplication::exec();
}
