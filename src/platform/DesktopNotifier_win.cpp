#include "DesktopNotifier.h"

// Windows shows notices as the tray icon's message, which the system turns into its own
// notifications; there is nothing to listen to.
void DesktopNotifier::listen() { }

void DesktopNotifier::showOnDesktop(const Notice& notice)
{
    showInTray(notice);
}
