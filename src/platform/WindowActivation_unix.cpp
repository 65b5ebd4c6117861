#include "WindowActivation.h"
#include "app/ApplicationId.h"

#include <QStandardPaths>
#include <QX11Info>

namespace WindowActivation {
QString channelName()
{
    // $XDG_RUNTIME_DIR, or a folder Qt makes for this user alone; both are mode 0700.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QLatin1Char('/')
        + QString::fromLatin1(ApplicationId) + QStringLiteral(".launch");
}

void allowRunningClientToActivate() { }

void useStartupToken(const QByteArray& token)
{
    // Qt 5 speaks X11's startup notification but not Wayland's xdg-activation: there the
    // compositor alone decides whether the window comes to the front.
    if (!token.isEmpty() && QX11Info::isPlatformX11()) {
        QX11Info::setNextStartupId(token);
    }
}
} // namespace WindowActivation
