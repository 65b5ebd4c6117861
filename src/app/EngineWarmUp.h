#ifndef ENGINEWARMUP_H
#define ENGINEWARMUP_H

#include <QObject>

class CMainWindow;

// Starts the web engine, and the portal page's renderer, for the default server while the
// delayed automatic login waits, so that the wait and those starts overlap.
class EngineWarmUp : public QObject
{
    Q_OBJECT

public:
    explicit EngineWarmUp(CMainWindow* window);

    // Warms up once the server selection window has had its first paint (at once when it stays hidden).
    void afterFirstPaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void warmUpDefaultPortal();

    CMainWindow* window;
};

#endif // ENGINEWARMUP_H
