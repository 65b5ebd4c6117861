#ifndef TRAYHOST_H
#define TRAYHOST_H

// The notification area the tray icon lives in. Desktops that speak StatusNotifierItem over
// D-Bus (KDE, GNOME's tray extensions, and every Wayland desktop, where the X11 tray cannot
// exist) draw the icon's menu themselves from a description the icon publishes; the others leave
// it to the icon to pop the menu up. Each platform has its own TrayHost_<platform>.cpp.
namespace TrayHost {
// Whether the notification area shows the icon's menu itself. Asked once, as the icon is made.
bool showsMenuItself();
} // namespace TrayHost

#endif // TRAYHOST_H
