#include "WebEngineParts.h"

#include "CWebEnginePage.h"
#include "CWebEngineView.h"
#include "app/CMainWindow.h"
#include "app/DeveloperView.h"
#include "core/TesselPortal.h"
#include "dialogs/CMiniTray.h"
#include "transfers/CertificateQuestion.h"

#include <QSplitter>
#include <QWebEngineProfile>

WebEngineParts::WebEngineParts(CMainWindow* window)
    : window(window)
    , profiles(window, &downloads)
{
    if (!window->devToolsView) {
        window->devToolsView = new DeveloperView;
        window->splitter->addWidget(window->devToolsView);
        window->devToolsView->hide();
    }
    if (window->portal) {
        downloads.setAgent(window->portal->transferAgent());
        window->certificateQuestion =
            new CertificateQuestion(&window->portal->certificateTrust(), window->tray, window);
    }
}

CWebEngineView* WebEngineParts::createView(const QString& host)
{
    auto* view = new CWebEngineView(window);
    view->setPage(new CWebEnginePage(profiles.forHost(host)));
    view->initContextMenu();
    window->splitter->insertWidget(0, view);
    QObject::connect(view->page(), &QWebEnginePage::loadFinished, window, &CMainWindow::Slot_LoadUrlFinish);
    return view;
}

void WebEngineParts::destroyView(CWebEngineView* view)
{
    QObject::disconnect(view->page(), &QWebEnginePage::loadFinished, window, &CMainWindow::Slot_LoadUrlFinish);
    view->dispose();
}

bool WebEngineParts::browsesAs(CWebEngineView* view, const QString& host)
{
    return view->page()->profile() == profiles.forHost(host);
}

void WebEngineParts::load(CWebEngineView* view, const QUrl& url)
{
    if (window->certificateQuestion) {
        window->certificateQuestion->newLoad();
    }
    view->page()->setUrl(url);
}

void WebEngineParts::runScript(CWebEngineView* view, const QString& script)
{
    view->page()->runJavaScript(script);
}

QString WebEngineParts::title(CWebEngineView* view)
{
    return view->page()->title();
}

QUrl WebEngineParts::url(CWebEngineView* view)
{
    return view->url();
}

void WebEngineParts::retranslate(CWebEngineView* view)
{
    view->retranslateMenu();
}

void WebEngineParts::toggleDeveloperView(CWebEngineView* view)
{
    window->devToolsView->toggle(view ? view->page() : nullptr, window->splitter, window->height());
}

extern "C" Q_DECL_EXPORT PortalEngine* norvCreatePortalEngine(CMainWindow* window)
{
    return new WebEngineParts(window);
}
