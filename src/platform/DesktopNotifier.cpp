#include "DesktopNotifier.h"

#include <QSystemTrayIcon>

DesktopNotifier::DesktopNotifier(QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent)
    , m_tray(tray)
{
    if (m_tray) {
        connect(m_tray, &QSystemTrayIcon::messageClicked, this, [this] {
            if (!m_trayKey.isEmpty()) {
                emit clicked(m_trayKey);
            }
        });
    }
}

void DesktopNotifier::show(const Notice& notice)
{
    // The service's answers concern only notices sent, so the subscription waits for the first
    // one: made at start, its look-up on the bus held up the first window.
    if (!m_listening) {
        listen();
        m_listening = true;
    }
    showOnDesktop(notice);
}

void DesktopNotifier::showInTray(const Notice& notice)
{
    if (!m_tray) {
        return;
    }
    m_trayKey = notice.key;
    m_tray->showMessage(notice.title, notice.body);
}

void DesktopNotifier::serviceActionInvoked(uint id, const QString& action)
{
    Q_UNUSED(action)
    // The one action each notice offers, whether named "default" or not.
    const QString key = m_keys.take(id);
    if (!key.isEmpty()) {
        emit clicked(key);
    }
}

void DesktopNotifier::serviceClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    m_keys.remove(id);
}
