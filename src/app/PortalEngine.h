#ifndef PORTALENGINE_H
#define PORTALENGINE_H

#include <QString>
#include <QUrl>

class CMainWindow;
class CWebEngineView;

// Everything the main window does with Qt WebEngine: the portal's views, pages and profiles,
// their downloads and certificate questions, and the developer tools. On Linux it lives in a
// module of its own (norv-web.so), loaded when a portal is first asked for: the engine's
// libraries take longer to load than the whole first window takes to show.
class PortalEngine
{
public:
    virtual ~PortalEngine() = default;

    // A portal view browsing in host's profile, at the top of the window's splitter; its
    // page's loadFinished goes to the window's Slot_LoadUrlFinish.
    virtual CWebEngineView* createView(const QString& host) = 0;
    // Disconnects the view from the window and lets it go.
    virtual void destroyView(CWebEngineView* view) = 0;
    virtual bool browsesAs(CWebEngineView* view, const QString& host) = 0;
    // A new load of the portal: certificate leaves the user declined are asked about again.
    virtual void load(CWebEngineView* view, const QUrl& url) = 0;
    // Runs script in the view's page; nothing is expected back.
    virtual void runScript(CWebEngineView* view, const QString& script) = 0;
    virtual QString title(CWebEngineView* view) = 0;
    virtual QUrl url(CWebEngineView* view) = 0;
    virtual void retranslate(CWebEngineView* view) = 0;
    // Shows or hides the developer tools, for view's page if there is one.
    virtual void toggleDeveloperView(CWebEngineView* view) = 0;
};

// What the module exports: a new engine for window, which the window keeps for the run.
using PortalEngineFactory = PortalEngine* (*)(CMainWindow* window);

#endif // PORTALENGINE_H
