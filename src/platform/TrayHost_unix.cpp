#include "TrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

namespace {
const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString HostRegistered = QStringLiteral("IsStatusNotifierHostRegistered");
// The watcher is another program: one that does not answer must not hold up the start.
const int AnswerTimeoutMs = 2000;
} // namespace

namespace TrayHost {
bool showsMenuItself()
{
    // The same test Qt makes when it chooses between the D-Bus tray and the X11 one: a watcher
    // with a host that draws the icons.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(WatcherService)) {
        return false;
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << WatcherService << HostRegistered;
    const QDBusMessage answer = bus.call(ask, QDBus::Block, AnswerTimeoutMs);
    return answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty()
        && answer.arguments().first().value<QDBusVariant>().variant().toBool();
}
} // namespace TrayHost
