#ifndef CMAINWINDOW_H
#define CMAINWINDOW_H

#include "EngineWarmUp.h"
#include "config/ServerConfigFile.h"
#include "config/ServerEntry.h"

#include <QMainWindow>
#include <QVector>

class QAction;
class QDialog;
class QActionGroup;
class QMenu;
class QMenuBar;
class QSplitter;
class QTimer;
class QTranslator;

class CCheckUpdateUI;
class CLoginUI;
class CertificateQuestion;
class CMiniTray;
class CTextTable;
class CThread;
class CWebEngineView;
class DeveloperView;
class PortalEngine;
class TesselCore;
class TesselHttpd;
class ProxyLogin;
class TesselPortal;

// The hub of the client. It owns the settings and the saved servers in memory, the
// core services, the one menu bar (moved between this window and the server selection
// window), the portal view while a portal is loaded, and the tray icon. Every other
// window reaches it through mainWindowInstance.
class CMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainWindow(QWidget* parent = nullptr);
    ~CMainWindow() override;

    // Start-up steps, called in this order after the server selection window is attached.
    void initLayout();
    void initCore();

    // The saved servers and the settings on disk; each write stores the whole state.
    int readServerConfig();
    void writeServerConfig();
    void readSettings();
    void writeSettings();
    // Makes the system's autostart registration follow autoStart.
    void applyAutoStart();

    // Whether closing a window ends the application rather than hiding it in the tray.
    bool closingEnds() const;
    // Ends the application: stops the local services and leaves the event loop.
    void handle_exit_application();
    // What the exit routine ends before it leaves the event loop: the portal view, the tray
    // icon, the local service and the active application.
    void stopServices();
    // handle_show for the given command line, the program path first.
    void showForCommandLine(const QStringList& arguments);
    // Shows the window in use, the portal or the selection window, in front: a later start of
    // the client asks for it, with the desktop's start-up token.
    void showCurrentWindow(const QByteArray& startupToken);

    // Moves a dialog over the window in use: this one if visible, else the server selection window.
    void placeDialog(QWidget* dialog) const;

    // The server the automatic login connects, if any.
    const ServerEntry* defaultServer() const;
    // Makes the portal view for host and has the engine start its page's renderer, loading
    // nothing: done while the automatic login waits, which then loads into it.
    void prepareWebView(const QString& host);
    // The web engine, loaded on first use; null when it cannot be (the log says why).
    PortalEngine* webEngine();

    static QString versionString();
    // Called by the core services, from any thread, when the portal became active in a browser.
    static void browserActiveCallback();

signals:
    void sig_return();
    void sig_browserActive();

public slots:
    void slot_delayLogin();
    void handle_show();
    void slot_return();
    void slot_switch_language(int iLan);
    void onExitFullScreen();
    void handle_load(QString sName, QString sUrl, bool isLogin);
    void slot_aboutUI();
    void slot_settingUI();
    void slot_machineCode();
    void slot_checkupdate(bool checkType);
    void slot_actServer();
    void slot_exitServer();
    void slot_actChinese();
    void slot_actEnglisg();
    void slot_UserManaual();
    void slot_UserToturial();
    void Slot_LoadUrlFinish(bool isSuccess);
    void slot_browserActive();
    // The transfer agent asks for the desktop's file or folder dialog.
    void slot_pickRequested(int requestId, bool folder);

public:
    // Shared with the server selection window and the dialogs, which reach this window
    // through mainWindowInstance.
    QSplitter* splitter = nullptr;
    CLoginUI* loginUI = nullptr;
    CWebEngineView* webView = nullptr;
    DeveloperView* devToolsView = nullptr;
    QVector<ServerEntry> serverList;
    TesselCore* core = nullptr;
    TesselPortal* portal = nullptr;
    // The proxy's login for this run, shared by the page, the update check and the agent.
    ProxyLogin* proxyLogin = nullptr;
    TesselHttpd* httpd = nullptr;
    CTextTable* textTable = nullptr;
    QAction* actExitServer = nullptr;
    QMenu* menuServer = nullptr;
    QActionGroup* serverGroup = nullptr;
    int language = 0;
    bool autoStart = true;
    bool miniTray = true;
    bool inPortal = false;
    QMenuBar* mainMenuBar = nullptr;
    QTranslator* qtTranslator = nullptr;
    QTranslator* appTranslator = nullptr;
    QString qtCatalogPath;
    QString appCatalogPath;
    QMenu* menuHelp = nullptr;
    QAction* actAbout = nullptr;
    QAction* actSetting = nullptr;
    QAction* actMachineCode = nullptr;
    QAction* actCheckUpdate = nullptr;
    QMenu* menuLanguage = nullptr;
    QAction* actChinese = nullptr;
    QAction* actEnglish = nullptr;
    QAction* actUserManual = nullptr;
    QAction* actTutorial = nullptr;
    bool loading = false;
    QString currentName;
    QString currentUrl;
    CMiniTray* tray = nullptr;
    // Decides on the portal's certificate errors; the page asks it.
    CertificateQuestion* certificateQuestion = nullptr;
    CThread* worker = nullptr;
    CCheckUpdateUI* updateDialog = nullptr;
    QTimer* loginTimer = nullptr;

protected:
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void initMenus();
    // False, and the inputs given back with a message, when the engine cannot be loaded.
    bool createWebView(const QString& host);
    void destroyWebView();
    // Tells the local service which pages may move files: the saved servers' and the loaded portal's.
    void publishPortalOrigins();
    void endPendingLoad();
    // Ends the update check's thread and waits for it.
    void stopUpdateWorker();
    void judgeLoadedPage(bool isSuccess);
    void showPortal();
    void uncheckServerEntries();
    void toggleDeveloperView();
    // Places a dialog over the window in use and runs it modally.
    void runDialog(QDialog* dialog);
    // The proxy login dialog; false when the user cancelled.
    bool askProxyLogin(const QString& proxyHost, QString* user, QString* password);
    // Runs a script in the portal page, if one is shown; nothing is expected back.
    void runInPortal(const QString& script);
    void retranslateMenus();
    void startDelayLogin();

    // Tells the tray and the notifications about the agent's transfers.
    void connectTransfers();

    ServerConfigFile serverConfigFile;
    PortalEngine* engine = nullptr;
    EngineWarmUp engineWarmUp;
};

// The one main window of the process; set once, right after it is constructed.
extern CMainWindow* mainWindowInstance;

#endif // CMAINWINDOW_H
