#ifndef TRANSFERNOTICES_H
#define TRANSFERNOTICES_H

#include "platform/DesktopNotifier.h"

#include <QJsonObject>
#include <QObject>

class QSystemTrayIcon;
class TransferAgent;

// Tells the user through a desktop notification when a transfer or a page's download ends,
// done or failed, while no window of the client is in front: hidden in the tray, or in
// browser mode. A click on a finished one shows the file in the file manager.
class TransferNotices : public QObject
{
    Q_OBJECT

public:
    TransferNotices(TransferAgent* agent, QSystemTrayIcon* tray, QObject* parent = nullptr);

private:
    void transferChanged(const QJsonObject& transfer, bool stateChanged);
    void showFile(const QString& id);

    TransferAgent* const m_agent;
    DesktopNotifier m_notifier;
};

#endif // TRANSFERNOTICES_H
