#ifndef WEBENGINEPARTS_H
#define WEBENGINEPARTS_H

#include "app/PortalEngine.h"
#include "app/PortalProfiles.h"
#include "transfers/PageDownloads.h"

// The portal engine of one main window, made when the window first needs it. It completes
// the window with what needs the engine: the hidden developer tools' view below the portal,
// the pages' downloads handed to the transfer agent and the portal's certificate questions.
class WebEngineParts : public PortalEngine
{
public:
    explicit WebEngineParts(CMainWindow* window);

    CWebEngineView* createView(const QString& host) override;
    void destroyView(CWebEngineView* view) override;
    bool browsesAs(CWebEngineView* view, const QString& host) override;
    void load(CWebEngineView* view, const QUrl& url) override;
    void runScript(CWebEngineView* view, const QString& script) override;
    QString title(CWebEngineView* view) override;
    QUrl url(CWebEngineView* view) override;
    void retranslate(CWebEngineView* view) override;
    void toggleDeveloperView(CWebEngineView* view) override;

private:
    CMainWindow* const window;
    // Before the profiles, which hand their pages' downloads to it.
    PageDownloads downloads;
    PortalProfiles profiles;
};

#endif // WEBENGINEPARTS_H
