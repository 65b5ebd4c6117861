#ifndef DESKTOPSESSION_H
#define DESKTOPSESSION_H

#include <QByteArray>
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
// Asks the window manager to close the client's window, as the title bar's close button does.
void closeClientWindow(const QString& display = QString());
} // namespace DesktopSession

#endif // DESKTOPSESSION_H
