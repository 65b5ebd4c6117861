#include "CMiniTray.h"
#include "transfers/TrayProgress.h"

#include "app/CMainWindow.h"
#include "app/OutputLines.h"
#include "app/Product.h"
#include "i18n/CTextTable.h"
#include "login/CLoginUI.h"
#include "platform/TrayHost.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QTextStream>

CMiniTray::CMiniTray(QObject* parent)
    : QSystemTrayIcon(parent)
{
    setToolTip(QString::fromUtf8(ProductName));
    // The menu and its action live as long as the process: the exit routine deletes the
    // icon while the menu's own exec() may still be running.
    trayMenu = new QMenu;
    actExit = new QAction;
    trayMenu->addAction(actExit);
    // Where the notification area draws the menu itself (over D-Bus, as on Wayland), it must be
    // handed the menu: the icon has no window there to pop one up from.
    if (TrayHost::showsMenuItself()) {
        setContextMenu(trayMenu);
    }
    connect(this, &QSystemTrayIcon::activated, this, &CMiniTray::slot_activatedSysTrayIcon);
    connect(actExit, &QAction::triggered, this, &CMiniTray::slot_actExit);
    setIcon(QIcon(QStringLiteral(":/resource/image/norv32.png")));
    progress = new TrayProgress(this);
}

void CMiniTray::retranslateMenu()
{
    actExit->setText(mainWindowInstance->textTable->Exit);
    progress->retranslate();
}

void CMiniTray::slot_activatedSysTrayIcon(QSystemTrayIcon::ActivationReason act)
{
    if (act == QSystemTrayIcon::Trigger) {
        if (mainWindowInstance->inPortal) {
            bringToFront(mainWindowInstance);
        } else {
            QTextStream(stderr) << OutputLines::TrayShowsSelection;
            bringToFront(mainWindowInstance->loginUI);
        }
    } else if (act == QSystemTrayIcon::Context && !contextMenu()) {
        runMenu();
    }
}

void CMiniTray::runMenu()
{
    m_menuRunning = true;
    trayMenu->exec(QCursor::pos());
    m_menuRunning = false;
    if (m_exitChosen) {
        exitOnceReturned();
    }
}

void CMiniTray::bringToFront(QWidget* window)
{
    window->raise();
    window->activateWindow();
    window->setVisible(true);
}

void CMiniTray::slot_actExit()
{
    // The menu runs inside this icon's activation handler: the exit waits until the menu is done.
    if (m_menuRunning) {
        m_exitChosen = true;
        return;
    }
    exitOnceReturned();
}

void CMiniTray::exitOnceReturned()
{
    // The exit routine deletes this icon, and Qt still uses the icon's window when its
    // activation handler returns: the routine runs from the event loop, after that.
    QMetaObject::invokeMethod(mainWindowInstance, &CMainWindow::handle_exit_application, Qt::QueuedConnection);
}
