#ifndef CMINITRAY_H
#define CMINITRAY_H

#include <QSystemTrayIcon>

class QAction;
class QMenu;
class TrayProgress;

// The icon in the notification area: a click brings back the window in use, the
// menu quits the application.
class CMiniTray : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit CMiniTray(QObject* parent = nullptr);

    void retranslateMenu();

    QMenu* trayMenu = nullptr;
    QAction* actExit = nullptr;
    // The tool tip while transfers run.
    TrayProgress* progress = nullptr;

    // Shows window in front of the others: a click on the icon and a later start do this.
    static void bringToFront(QWidget* window);

public slots:
    void slot_activatedSysTrayIcon(QSystemTrayIcon::ActivationReason act);
    void slot_actExit();

private:
    void runMenu();
    static void exitOnceReturned();

    bool m_menuRunning = false;
    bool m_exitChosen = false;
};

#endif // CMINITRAY_H
