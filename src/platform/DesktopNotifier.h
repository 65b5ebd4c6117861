#ifndef DESKTOPNOTIFIER_H
#define DESKTOPNOTIFIER_H

#include <QHash>
#include <QObject>
#include <QPointer>

class QSystemTrayIcon;

// Desktop notifications: through the desktop's notification service where the platform has
// one and it runs, else as the tray icon's message. Each platform has its own
// DesktopNotifier_<platform>.cpp.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    struct Notice
    {
        QString title;
        QString body;
        // Comes back through clicked(); a notice without one cannot be clicked.
        QString key;
        // What a click does, in the user's words.
        QString action;
    };

    explicit DesktopNotifier(QSystemTrayIcon* tray, QObject* parent = nullptr);

    void show(const Notice& notice);

signals:
    void clicked(const QString& key);

private slots:
    // The notification service's signals.
    void serviceActionInvoked(uint id, const QString& action);
    void serviceClosed(uint id, uint reason);

private:
    // The platform's part: listens to its notification service and hands a notice to it.
    // The service answers later, so the GUI thread never waits for a slow one; a platform
    // without one, or a service that fails, shows the notice in the tray instead.
    void listen();
    void showOnDesktop(const Notice& notice);
    void showInTray(const Notice& notice);

    QPointer<QSystemTrayIcon> m_tray;
    // The key of the notice the tray shows last, which its click concerns.
    QString m_trayKey;
    // The keys of the service's notifications by their ids.
    QHash<uint, QString> m_keys;
    bool m_listening = false;
};

#endif // DESKTOPNOTIFIER_H
