#ifndef WINDOWACTIVATION_H
#define WINDOWACTIVATION_H

#include <QByteArray>
#include <QString>

// Bringing the running client to the front when the user starts it again: the new start hands
// the desktop's start-up token to the running client over a local socket of this user's alone,
// then ends. How the socket is named and how a window may take the foreground differ on each
// platform; each has its own WindowActivation_<platform>.cpp.
namespace WindowActivation {
// The local socket's name; a place (or, on Windows, a name) that only this user's session reaches.
QString channelName();
// Called by the new start before it asks: lets the running client take the foreground.
void allowRunningClientToActivate();
// Called by the running client before it shows its window, with the token the desktop gave the
// new start, so that the desktop ends its launch feedback and lets the window have the focus.
void useStartupToken(const QByteArray& token);
} // namespace WindowActivation

#endif // WINDOWACTIVATION_H
