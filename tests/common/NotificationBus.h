#ifndef NOTIFICATIONBUS_H
#define NOTIFICATIONBUS_H

#include <QByteArray>
#include <QProcessEnvironment>

class ProcessSet;
class QProcess;

// A D-Bus session bus of the test's own, with dbus-monitor writing down every message on it
// and, when asked, a real notification daemon from Debian (dunst) serving
// org.freedesktop.Notifications there. The processes end with the set that started them.
class NotificationBus
{
public:
    // False when the bus or one of the programs does not come up.
    bool start(ProcessSet& processes, bool withDaemon);
    // The variable that puts a process on this bus.
    QProcessEnvironment environment() const;
    // Every message dbus-monitor has seen so far.
    QByteArray monitored();
    // Clicks the newest notification as the user does, through the daemon's own control.
    void clickNewest();

private:
    QProcess* m_monitor = nullptr;
    QByteArray m_seen;
    QString m_address;
};

#endif // NOTIFICATIONBUS_H
