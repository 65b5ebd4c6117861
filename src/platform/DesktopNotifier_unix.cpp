#include "DesktopNotifier.h"
#include "app/ApplicationId.h"
#include "app/Logging.h"
#include "app/Product.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace {
// The freedesktop.org notification service that desktops and daemons such as dunst offer.
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
// The action a click on the notification itself invokes.
const QString DefaultAction = QStringLiteral("default");
const int CallTimeoutMs = 2000;
// The service decides how long a notice stays.
const int ServiceTimeout = -1;
const uint ReplacesNone = 0;
} // namespace

void DesktopNotifier::listen()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(
        Service, ObjectPath, Service, QStringLiteral("ActionInvoked"), this, SLOT(serviceActionInvoked(uint, QString)));
    bus.connect(
        Service, ObjectPath, Service, QStringLiteral("NotificationClosed"), this, SLOT(serviceClosed(uint, uint)));
}

bool DesktopNotifier::showOnDesktop(const Notice& notice)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("Notify"));
    const QStringList actions = notice.key.isEmpty() ? QStringList() : QStringList {DefaultAction, notice.action};
    // Desktops group and allow notifications by the desktop entry they name.
    const QVariantMap hints {{QStringLiteral("desktop-entry"), QString::fromLatin1(ApplicationId)}};
    call << QString::fromUtf8(ProductName) << ReplacesNone << QString::fromLatin1(ApplicationId) << notice.title
         << notice.body << actions << hints << ServiceTimeout;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcApp) << "no notification service, the tray shows the notice:" << reply.errorMessage();
        return false;
    }
    if (!notice.key.isEmpty()) {
        m_keys.insert(reply.arguments().first().toUInt(), notice.key);
    }
    return true;
}
