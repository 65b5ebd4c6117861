#ifndef ENGINEWARMUP_H
#define ENGINEWARMUP_H

#include <QObject>

class CMainWindow;
class PortalProfiles;

// Starts the web engine for the default server while the delayed automatic login waits:
// the engine takes longer to start than the login waits, so the two overlap.
class EngineWarmUp : public QObject
{
    Q_OBJECT

public:
    EngineWarmUp(CMainWindow* window, PortalProfiles* profiles);

    // Warms up once the server selection window has had its first paint (at once when it stays hidden).
    void afterFirstPaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void warmUpDefaultPortal();

    CMainWindow* window;
    PortalProfiles* profiles;
};

#endif // ENGINEWARMUP_H
