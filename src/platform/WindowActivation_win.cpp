#include "WindowActivation.h"
#include "app/ApplicationId.h"

#include <windows.h>

namespace WindowActivation {
QString channelName()
{
    // Named pipes are machine-wide: the session and the user make the name this user's own,
    // and the server's access option keeps other users out.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return QStringLiteral("%1-%2-%3")
        .arg(QString::fromLatin1(ApplicationId))
        .arg(session)
        .arg(qEnvironmentVariable("USERNAME"));
}

void allowRunningClientToActivate()
{
    // Windows lets only the foreground process hand the foreground on.
    AllowSetForegroundWindow(ASFW_ANY);
}

void useStartupToken(const QByteArray&) { }
} // namespace WindowActivation
