#ifndef STATUSNOTIFIERWATCHER_H
#define STATUSNOTIFIERWATCHER_H

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

// The watcher a desktop's notification area offers on the session bus (KDE's and the Wayland
// desktops' StatusNotifierWatcher), with a host drawing the icons, as a test's own object on the
// test's bus: tray icons register with it, and the test reaches them and their menus from there.
// It answers on a thread of its own, since a client asks it while the test waits for that client.
class StatusNotifierWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)

public:
    // On a connection of its own, so that a client in this process asks it like any other.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("watcher"));

    ~StatusNotifierWatcher() override;
    // False when the name is taken or there is no session bus.
    bool start();

    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // The registered items as "bus name/object path", where their StatusNotifierItem answers.
    QStringList registeredItems() const;

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString&) { }

private:
    QThread m_thread;
    mutable QMutex m_lock;
    QStringList m_items;
};

#endif // STATUSNOTIFIERWATCHER_H
