#ifndef DESKTOPSESSION_H
#define DESKTOPSESSION_H

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>

// The test's X session seen from outside, through the desktop tools (xdotool, wmctrl,
// xwininfo), the way a user and the window manager see the client.
namespace DesktopSession {
// Runs a tool and returns its standard output; on another X display when one is named.
QByteArray runTool(const QStringList& command, int* exitCode = nullptr, const QString& display = QString());
// Whether a window manager runs: closing a window needs one.
bool windowManagerRuns();
// Whether a window with the client's title is shown.
bool clientWindowShown(const QString& display = QString());
// Whether the window that has the focus is one of the client's.
bool clientWindowActive(const QString& display = QString());
// Asks the window manager to close the client's window, as the title bar's close button does.
void closeClientWindow(const QString& display = QString());
// The icon the client embeds into the notification area, an X window id; empty when none.
QString trayIconWindow(const QString& display = QString());
// The client's windows that are mapped now.
QStringList shownClientWindows(const QString& display = QString());
// Clicks button at the point of the window, by default its centre.
void clickWindow(const QString& display, const QString& window, int button, QPoint point = {-1, -1});
// Right-clicks the client's tray icon and chooses the menu's one item, Quit, as the user does.
// False when the icon or its menu did not appear.
bool quitFromTrayMenu(const QString& display = QString());
} // namespace DesktopSession

#endif // DESKTOPSESSION_H
