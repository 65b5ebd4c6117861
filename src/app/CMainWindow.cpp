#include "CMainWindow.h"
#include "Logging.h"
#include "OutputLines.h"

#include "DialogPlacement.h"
#include "PortalContract.h"
#include "PortalEngine.h"
#include "Product.h"
#include "WebAddress.h"
#include "config/SettingsFile.h"
#include "core/ProxyLogin.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "core/transfer/TransferAgent.h"
#include "dialogs/CAboutUI.h"
#include "dialogs/CMachineCodeUI.h"
#include "dialogs/CMiniTray.h"
#include "dialogs/CSetting.h"
#include "i18n/CTextTable.h"
#include "i18n/TransferTexts.h"
#include "login/CLoginUI.h"
#include "platform/AutoStart.h"
#include "platform/FileManager.h"
#include "platform/WebModule.h"
#include "platform/WindowActivation.h"
#include "proxy/CProxyLoginUI.h"
#include "transfers/PickDialog.h"
#include "transfers/TransferNotices.h"
#include "transfers/TrayProgress.h"
#include "update/CCheckUpdateUI.h"
#include "update/CThread.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>
#include <QSystemTrayIcon>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

CMainWindow* mainWindowInstance = nullptr;

// The images and catalogues are compiled into a static library, where nothing registers
// them by itself; this file is always linked, so they are registered before main runs.
static void registerResources()
{
    Q_INIT_RESOURCE(norv);
}
Q_CONSTRUCTOR_FUNCTION(registerResources)

namespace {
const int HttpdStartTimeoutMs = 1000;
const int ActiveAppId = 19;

const QSize InitialSize(800, 600);
const char* const MenuBarStyle = "color: rgba(16, 16, 16, 1);font-size: 14px;text-align: center";
const char* const MenuStyle = "color: rgba(16, 16, 16, 1);font-size: 12px;text-align: center";
// Meant: the tool tip shows the manual's Chinese name, while the entry opens ManualFile in every language.
const char* const UserManualFile = "/Pavo客户端说明书.pdf";
const QString TestPath = QStringLiteral("/zorp-test");
const QString BlankAddress = QStringLiteral("about:blank");
const QString ManualFile = QStringLiteral("/PavoClient.pdf");
const int DelayedLoginMs = 100;
// Shown while a portal loads; deliberately the same in every language.
const QString LoadingNotice = QStringLiteral("loading...");
const int LanguageEnglish = 0;
const int LanguageChinese = 1;
const QString CatalogueFolder = QStringLiteral(":/resource/translator/");

QMenu* styledMenu()
{
    auto* menu = new QMenu;
    menu->setStyleSheet(QString::fromLatin1(MenuStyle));
    return menu;
}
} // namespace

CMainWindow::CMainWindow(QWidget* parent)
    : QMainWindow(parent)
    , engineWarmUp(this)
{
    qtTranslator = new QTranslator;
    appTranslator = new QTranslator;
    QApplication::installTranslator(qtTranslator);
    QApplication::installTranslator(appTranslator);
    mainMenuBar = menuBar();
    setWindowTitle(QString::fromUtf8(ProductName));
    readServerConfig();
    readSettings();
    tray = new CMiniTray;
    tray->setVisible(true);
    resize(InitialSize);
    applyAutoStart();
    connect(this, &CMainWindow::sig_return, this, &CMainWindow::slot_return);
    connect(this, &CMainWindow::sig_browserActive, this, &CMainWindow::slot_browserActive);
}

CMainWindow::~CMainWindow()
{
    qCDebug(lcApp) << "~CMainWindow";
}

QString CMainWindow::versionString()
{
    return QString::fromLatin1(ClientVersion);
}

void CMainWindow::browserActiveCallback()
{
    if (mainWindowInstance) {
        emit mainWindowInstance->sig_browserActive();
    }
}

void CMainWindow::initLayout()
{
    initMenus();
    splitter = new QSplitter(Qt::Vertical);
    setCentralWidget(splitter);
    // The developer tools' view comes with the web engine (webEngine()).
    loginUI->populateServers();
}

void CMainWindow::initMenus()
{
    menuServer = styledMenu();
    menuHelp = styledMenu();
    menuLanguage = styledMenu();
    mainMenuBar->setStyleSheet(QString::fromLatin1(MenuBarStyle));
    mainMenuBar->addMenu(menuServer);
    mainMenuBar->addMenu(menuLanguage);
    mainMenuBar->addMenu(menuHelp);

    actAbout = new QAction;
    actSetting = new QAction;
    actMachineCode = new QAction;
    actCheckUpdate = new QAction;
    actChinese = new QAction;
    actEnglish = new QAction;
    actUserManual = new QAction;
    actTutorial = new QAction;
    actEnglish->setCheckable(true);
    actChinese->setCheckable(true);

    auto* languageGroup = new QActionGroup(this);
    serverGroup = new QActionGroup(this);
    languageGroup->addAction(actEnglish);
    languageGroup->addAction(actChinese);

    menuHelp->addAction(actAbout);
    actUserManual->setToolTip(QCoreApplication::applicationDirPath() + QString::fromUtf8(UserManualFile));
    menuHelp->addAction(actSetting);
    menuHelp->addAction(actMachineCode);
    menuHelp->addAction(actCheckUpdate);
    menuLanguage->addAction(actChinese);
    menuLanguage->addAction(actEnglish);

    connect(actAbout, &QAction::triggered, this, &CMainWindow::slot_aboutUI);
    connect(actSetting, &QAction::triggered, this, &CMainWindow::slot_settingUI);
    connect(actMachineCode, &QAction::triggered, this, &CMainWindow::slot_machineCode);
    connect(actCheckUpdate, &QAction::triggered, this, &CMainWindow::slot_checkupdate);
    connect(actChinese, &QAction::triggered, this, &CMainWindow::slot_actChinese);
    connect(actEnglish, &QAction::triggered, this, &CMainWindow::slot_actEnglisg);
    connect(actUserManual, &QAction::triggered, this, &CMainWindow::slot_UserManaual);
    connect(actTutorial, &QAction::triggered, this, &CMainWindow::slot_UserToturial);

    actExitServer = new QAction;
    actExitServer->setVisible(false);
    actExitServer->setMenuRole(QAction::NoRole);
    menuServer->addAction(actExitServer);
    connect(actExitServer, &QAction::triggered, this, &CMainWindow::slot_exitServer);

    // F10 opens the first menu, as in other desktop programs; the arrow keys go on from there.
    // The shortcut lives on the menu bar, so it follows the bar to the window in use.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), mainMenuBar);
    connect(menuKey, &QShortcut::activated, this, [this] { mainMenuBar->setActiveAction(menuServer->menuAction()); });
}

void CMainWindow::initCore()
{
    core = new TesselCore(QString::fromLatin1(CoreApplicationKey), CoreClientKind);
    proxyLogin = new ProxyLogin(this);
    proxyLogin->setAsker([this](const QString& proxyHost, QString* user, QString* password) {
        return askProxyLogin(proxyHost, user, password);
    });
    portal = new TesselPortal(core, proxyLogin);
    httpd = new TesselHttpd(core, portal);
    connect(core, &TesselCore::sig_languageChanged, this, &CMainWindow::slot_switch_language);
    connect(portal, &TesselPortal::sig_pickRequested, this, &CMainWindow::slot_pickRequested, Qt::QueuedConnection);
    core->RegisterBrowserActive(&CMainWindow::browserActiveCallback);
    connectTransfers();

    publishPortalOrigins();

    const int started = httpd->StartHttpdServer(HttpdStartTimeoutMs);
    qCDebug(lcApp) << OutputLines::ServicesStarted << ProductName << started << TesselHttpd::DefaultPort;
    if (started != 0) {
        // Browser mode depends on the port: the user must learn why the browser finds no client.
        tray->showMessage(QString::fromUtf8(ProductName),
                          TransferTexts::serviceUnreachable(TesselHttpd::configuredPort()),
                          QSystemTrayIcon::Warning);
    }

    QString version;
    QString build;
    QString platform;
    const int versionResult = core->GetAppVersion(version, build, platform);
    qCDebug(lcApp) << "GetAppVersion" << versionResult << version << build << platform;
}

void CMainWindow::handle_show()
{
    showForCommandLine(QCoreApplication::arguments());
}

void CMainWindow::showForCommandLine(const QStringList& arguments)
{
    loginUI->setMenuBar(mainMenuBar);
    const int argumentCount = arguments.size();
    // One argument: the portal is in use in an external browser; stay in the tray.
    // Without a notification area nothing could bring a window back: always show one.
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (argumentCount == 2) {
        loginUI->setBrowserMode(true);
        loginUI->setVisible(!trayAvailable);
        return;
    }
    loginUI->setBrowserMode(false);
    // The autostart entry passes two switches; then the client starts in the tray if the user wants.
    const bool startedByAutostart = argumentCount == 3;
    if (!(startedByAutostart && miniTray && trayAvailable)) {
        loginUI->setVisible(true);
    }
    startDelayLogin();
}

void CMainWindow::showCurrentWindow(const QByteArray& startupToken)
{
    QWidget* window = inPortal ? static_cast<QWidget*>(this) : loginUI;
    WindowActivation::useStartupToken(startupToken);
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    CMiniTray::bringToFront(window);
}

void CMainWindow::handle_load(QString sName, QString sUrl, bool isLogin)
{
    qCDebug(lcApp) << "handle_load";
    if (sName.isEmpty() || sUrl.isEmpty() || !QUrl(sUrl).isValid()) {
        loginUI->setInputEnabled(true);
        return;
    }
    if (!isWebAddress(sUrl)) {
        loginUI->setInputEnabled(true);
        loginUI->showMessage(textTable->ConnectFailed);
        return;
    }
    // Each portal host browses in a profile of its own. The view goes before the new load
    // begins, since tearing it down ends the load pending in it.
    const QString host = QUrl(sUrl).host();
    if (webView && !engine->browsesAs(webView, host)) {
        destroyWebView();
    }
    if (!webView && !createWebView(host)) {
        return;
    }
    loginUI->setInputEnabled(false);
    loading = true;
    loginUI->showMessage(LoadingNotice);
    currentName = sName;
    currentUrl = sUrl;
    publishPortalOrigins();
    // Plain concatenation: the address is used exactly as saved.
    const QString target = isLogin ? sUrl + QLatin1String(PortalLoginPath) + core->Get_Deviceuuid() : sUrl + TestPath;
    engine->load(webView, QUrl(target));
}

PortalEngine* CMainWindow::webEngine()
{
    if (!engine) {
        if (const PortalEngineFactory create = WebModule::factory()) {
            engine = create(this);
        }
    }
    return engine;
}

bool CMainWindow::createWebView(const QString& host)
{
    if (!webEngine()) {
        loginUI->setInputEnabled(true);
        loginUI->showMessage(textTable->ConnectFailed);
        return false;
    }
    webView = engine->createView(host);
    return true;
}

void CMainWindow::prepareWebView(const QString& host)
{
    if (webView || !createWebView(host)) {
        return;
    }
    // A script, even an empty one, makes the engine create the page's first, empty document,
    // and with it start the renderer process, which the login's load would otherwise wait for.
    engine->runScript(webView, QString());
}

void CMainWindow::destroyWebView()
{
    engine->destroyView(webView);
    webView = nullptr;
    publishPortalOrigins();
    endPendingLoad();
}

void CMainWindow::publishPortalOrigins()
{
    if (!portal) {
        return;
    }
    QList<QUrl> saved;
    for (const ServerEntry& server : qAsConst(serverList)) {
        saved.append(QUrl(server.url));
    }
    portal->setPortalOrigins(saved, webView ? QUrl(currentUrl) : QUrl());
}

void CMainWindow::endPendingLoad()
{
    // The page that would have finished the load is gone: nothing else gives the inputs back.
    if (!loading) {
        return;
    }
    loading = false;
    loginUI->clearMessage();
    loginUI->setInputEnabled(true);
}

void CMainWindow::Slot_LoadUrlFinish(bool isSuccess)
{
    if (!webView) {
        return;
    }
    // Loads the user starts inside the portal are not judged.
    if (loading) {
        QTextStream(stdout) << (isSuccess ? OutputLines::LoadAccepted : OutputLines::LoadRefused) << Qt::flush;
        loading = false;
        judgeLoadedPage(isSuccess);
    }
    loginUI->setInputEnabled(true);
}

void CMainWindow::judgeLoadedPage(bool isSuccess)
{
    if (!isSuccess) {
        loginUI->showMessage(textTable->ConnectFailed);
        return;
    }
    const QString title = engine->title(webView);
    // "1" and "2" are fixed debug texts that log readers search for; terse on purpose.
    qCDebug(lcApp) << "1" << title;
    if (!title.contains(QLatin1String(PortalMarker))) {
        loginUI->showMessage(textTable->ConnectFailed);
        return;
    }
    qCDebug(lcApp) << "2";
    if (engine->url(webView).toString() == BlankAddress) {
        loginUI->showMessage(BlankAddress);
    } else {
        showPortal();
    }
}

void CMainWindow::showPortal()
{
    inPortal = true;
    // The loading notice is done with; left behind, a language switch would turn it into a failure.
    loginUI->clearMessage();
    loginUI->hide();
    setMenuBar(mainMenuBar);
    showMaximized();
    actExitServer->setVisible(true);
    loginUI->addServer(currentName, currentUrl);
    for (int index = 0; index < menuServer->actions().size() - 1; ++index) {
        QAction* entry = menuServer->actions().at(index);
        if (entry->toolTip() == currentUrl) {
            entry->setChecked(true);
        }
    }
}

void CMainWindow::startDelayLogin()
{
    loginTimer = new QTimer;
    loginTimer->start(DelayedLoginMs);
    connect(loginTimer, &QTimer::timeout, this, &CMainWindow::slot_delayLogin);
    engineWarmUp.afterFirstPaint();
}

const ServerEntry* CMainWindow::defaultServer() const
{
    // With several defaults (a hand-edited file) the first one is connected.
    const auto found =
        std::find_if(serverList.cbegin(), serverList.cend(), [](const ServerEntry& entry) { return entry.isDefault; });
    return found == serverList.cend() ? nullptr : &*found;
}

void CMainWindow::slot_delayLogin()
{
    loginTimer->stop();
    disconnect(loginTimer, &QTimer::timeout, this, &CMainWindow::slot_delayLogin);
    delete loginTimer;
    loginTimer = nullptr;
    if (CLoginUI::browserModeOn()) {
        // The view made ready for this login goes unused.
        if (webView && !loading && !inPortal) {
            destroyWebView();
        }
        return;
    }
    if (const ServerEntry* entry = defaultServer()) {
        handle_load(entry->name, entry->url, true);
    }
}

void CMainWindow::slot_actServer()
{
    const QAction* entry = qobject_cast<const QAction*>(sender());
    if (!entry) {
        return;
    }
    if (webView) {
        destroyWebView();
    }
    core->CloseActiveApp(ActiveAppId);
    handle_load(entry->objectName(), entry->toolTip(), true);
}

void CMainWindow::slot_exitServer()
{
    if (webView) {
        destroyWebView();
    }
    core->CloseActiveApp(ActiveAppId);
    actExitServer->setVisible(false);
    inPortal = false;
    loginUI->clearMessage();
    hide();
    loginUI->setMenuBar(mainMenuBar);
    uncheckServerEntries();
    loginUI->show();
}

void CMainWindow::slot_return()
{
    inPortal = false;
    loginUI->clearMessage();
    hide();
    loginUI->setMenuBar(mainMenuBar);
    actExitServer->setVisible(false);
    uncheckServerEntries();
}

void CMainWindow::uncheckServerEntries()
{
    // An exclusive group never lets its last checked entry go by itself.
    serverGroup->setExclusive(false);
    for (QAction* entry : menuServer->actions()) {
        entry->setChecked(false);
    }
    serverGroup->setExclusive(true);
}

void CMainWindow::slot_browserActive()
{
    if (webView) {
        destroyWebView();
    }
    emit sig_return();
    loginUI->setBrowserMode(true);
}

void CMainWindow::closeEvent(QCloseEvent*)
{
    if (closingEnds()) {
        handle_exit_application();
    }
}

bool CMainWindow::closingEnds() const
{
    // Without a notification area a hidden client could never be reached again.
    return !miniTray || !QSystemTrayIcon::isSystemTrayAvailable();
}

void CMainWindow::slot_aboutUI()
{
    CAboutUI dialog;
    runDialog(&dialog);
}

void CMainWindow::slot_settingUI()
{
    CSetting dialog;
    runDialog(&dialog);
}

void CMainWindow::slot_machineCode()
{
    CMachineCodeUI dialog;
    runDialog(&dialog);
}

void CMainWindow::slot_checkupdate(bool checkType)
{
    if (!worker) {
        worker = new CThread;
        worker->proxyLogin = proxyLogin;
        worker->thread = new QThread;
        worker->moveToThread(worker->thread);
        worker->thread->start(QThread::InheritPriority);
        connect(worker, &CThread::sig_StartCheck, worker, &CThread::slot_Checkupdate);
        // The worker, its network access and any reply in flight go on its own thread as it ends.
        connect(worker->thread, &QThread::finished, worker, &QObject::deleteLater);
    }
    if (!updateDialog) {
        updateDialog = new CCheckUpdateUI(checkType);
        connect(worker, &CThread::sig_versionFileArrived, updateDialog, &CCheckUpdateUI::replyFinished);
    }
    placeDialog(updateDialog);
    worker->dialog = updateDialog;
    updateDialog->beginCheck();
    emit worker->sig_StartCheck();
}

bool CMainWindow::askProxyLogin(const QString& proxyHost, QString* user, QString* password)
{
    CProxyLoginUI dialog(proxyHost, *user);
    placeDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    *user = dialog.user();
    *password = dialog.password();
    return true;
}

void CMainWindow::runDialog(QDialog* dialog)
{
    placeDialog(dialog);
    dialog->exec();
}

void CMainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F12) {
        toggleDeveloperView();
    }
    if (event->key() == Qt::Key_V && event->modifiers() == Qt::ControlModifier) {
        // A fixed debug text, underscores included, kept as it is.
        qCDebug(lcApp) << "control modifier_____________";
    }
    QWidget::keyPressEvent(event);
}

void CMainWindow::toggleDeveloperView()
{
    if (webEngine()) {
        engine->toggleDeveloperView(webView);
    }
}

void CMainWindow::wheelEvent(QWheelEvent*) { }

void CMainWindow::slot_UserManaual()
{
    const QString path = QCoreApplication::applicationDirPath() + ManualFile;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        FileManager::showFile(path);
    }
}

void CMainWindow::slot_UserToturial()
{
    runInPortal(QStringLiteral("navPage()"));
}

void CMainWindow::runInPortal(const QString& script)
{
    if (webView) {
        engine->runScript(webView, script);
    }
}

void CMainWindow::handle_exit_application()
{
    stopServices();
    QTextStream(stdout) << OutputLines::ExitRoutine << Qt::flush;
    QCoreApplication::quit();
}

void CMainWindow::stopServices()
{
    // Requests waiting for the user's answer go on without one, so their threads can end.
    if (proxyLogin) {
        proxyLogin->close();
    }
    if (webView) {
        destroyWebView();
    }
    delete tray;
    tray = nullptr;
    stopUpdateWorker();
    if (httpd) {
        httpd->StopHttpdServer();
    }
    // After the local service, so the page cannot start a transfer again meanwhile.
    if (portal) {
        portal->pauseTransfers();
    }
    if (core) {
        core->CloseActiveApp(ActiveAppId);
    }
}

void CMainWindow::stopUpdateWorker()
{
    if (!worker) {
        return;
    }
    QThread* thread = worker->thread;
    thread->quit();
    thread->wait();
    delete thread;
    worker = nullptr;
}

void CMainWindow::placeDialog(QWidget* dialog) const
{
    DialogPlacement::place(dialog, isVisible() ? static_cast<const QWidget*>(this) : loginUI);
}

int CMainWindow::readServerConfig()
{
    return serverConfigFile.read(serverList);
}

void CMainWindow::writeServerConfig()
{
    serverConfigFile.write(serverList);
    publishPortalOrigins();
}

void CMainWindow::readSettings()
{
    const Settings settings = SettingsFile::read();
    language = settings.language;
    autoStart = settings.autoStart;
    miniTray = settings.miniTray;
}

void CMainWindow::writeSettings()
{
    SettingsFile::write({language, autoStart, miniTray});
}

void CMainWindow::applyAutoStart()
{
    AutoStart::apply(autoStart);
}

void CMainWindow::slot_switch_language(int iLan)
{
    // The choice is stored before anything else, so it survives whatever follows.
    language = iLan;
    writeSettings();
    // Any other index keeps the previous catalogues, and at start-up loads none, so keys show.
    if (iLan == LanguageChinese) {
        actChinese->setChecked(true);
        qtCatalogPath = CatalogueFolder + QStringLiteral("qtranslatorCN.qm");
        appCatalogPath = CatalogueFolder + QStringLiteral("TesselEnterpriseCN.qm");
        runInPortal(QStringLiteral("changeLang('zh-cn')"));
    } else if (iLan == LanguageEnglish) {
        actEnglish->setChecked(true);
        qtCatalogPath = CatalogueFolder + QStringLiteral("qtranslatorEN.qm");
        appCatalogPath = CatalogueFolder + QStringLiteral("TesselEnterpriseEN.qm");
        runInPortal(QStringLiteral("changeLang('en')"));
    }
    qtTranslator->load(qtCatalogPath);
    appTranslator->load(appCatalogPath);
    delete textTable;
    textTable = new CTextTable;
    retranslateMenus();
    if (webView) {
        engine->retranslate(webView);
    }
    if (loginUI) {
        loginUI->retranslate();
    }
    if (tray) {
        tray->retranslateMenu();
    }
}

void CMainWindow::connectTransfers()
{
    TransferAgent* agent = portal->transferAgent();
    if (tray) {
        connect(agent, &TransferAgent::transferChanged, tray->progress, &TrayProgress::transferChanged);
        connect(agent, &TransferAgent::transferRemoved, tray->progress, &TrayProgress::transferRemoved);
    }
    new TransferNotices(agent, tray, this);
}

void CMainWindow::retranslateMenus()
{
    menuServer->setTitle(textTable->Server);
    actExitServer->setText(textTable->ExitServer);
    menuHelp->setTitle(textTable->Help);
    actAbout->setText(textTable->About);
    actSetting->setText(textTable->Setting);
    actMachineCode->setText(textTable->MachineCode);
    actCheckUpdate->setText(textTable->CheckUpdate);
    menuLanguage->setTitle(textTable->Language);
    actChinese->setText(textTable->Chinese);
    actEnglish->setText(textTable->English);
    actUserManual->setText(textTable->UserManual);
    actTutorial->setText(textTable->Tutorial);
}

void CMainWindow::slot_actChinese()
{
    slot_switch_language(1);
}

void CMainWindow::slot_actEnglisg()
{
    slot_switch_language(0);
}

// Empty on purpose: the window never goes full screen, so there is nothing to leave.
void CMainWindow::onExitFullScreen() { }

void CMainWindow::slot_pickRequested(int requestId, bool folder)
{
    // In front of the window in use, or alone in browser mode, where no window may be shown.
    QWidget* owner = isVisible() ? static_cast<QWidget*>(this) : (loginUI->isVisible() ? loginUI : nullptr);
    portal->answerPick(requestId, PickDialog::choose(folder, owner));
}
