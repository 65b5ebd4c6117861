#include "DesktopNotifier.h"
#include "app/ApplicationId.h"
#include "app/Logging.h"
#include "app/Product.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
// The freedesktop.org notification service that desktops and daemons such as dunst offer.
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString ObjectPath = QStringLiteral("/org/freedesktop/Notifications");
// The action a click on the notification itself invokes.
const QString DefaultAction = QStringLiteral("default");
// Nothing waits for the answer, so a slow daemon gets D-Bus's usual time; one that stays
// silent longer is taken as none, and the tray shows the notice.
const int CallTimeoutMs = 25000;
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

void DesktopNotifier::showOnDesktop(const Notice& notice)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("Notify"));
    const QStringList actions = notice.key.isEmpty() ? QStringList() : QStringList {DefaultAction, notice.action};
    // Desktops group and allow notifications by the desktop entry they name.
    const QVariantMap hints {{QStringLiteral("desktop-entry"), QString::fromLatin1(ApplicationId)}};
    call << QString::fromUtf8(ProductName) << ReplacesNone << QString::fromLatin1(ApplicationId) << notice.title
         << notice.body << actions << hints << ServiceTimeout;
    // Asynchronous: a daemon that answers slowly must not freeze the windows.
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, notice](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const QDBusPendingReply<uint> reply = *answered;
        if (reply.isError()) {
            qCInfo(lcApp) << "no notification service, the tray shows the notice:" << reply.error().message();
            showInTray(notice);
            return;
        }
        if (!notice.key.isEmpty()) {
            m_keys.insert(reply.value(), notice.key);
        }
    });
}
