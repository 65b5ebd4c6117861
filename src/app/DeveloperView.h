#ifndef DEVELOPERVIEW_H
#define DEVELOPERVIEW_H

#include <QWebEngineView>

class QSplitter;
class QWebEnginePage;

// The developer view under the portal: the developer tools of the portal page, shown in
// process. A remote-debugging port would let any local process or user script the
// logged-in portal; Qt WebEngine opens one only when the user sets QTWEBENGINE_REMOTE_DEBUGGING.
class DeveloperView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit DeveloperView(QWidget* parent = nullptr);

    // Shows the view with the tools of portalPage (blank without one), or hides it again.
    // The view sits in splitter and takes a third of windowHeight.
    void toggle(QWebEnginePage* portalPage, QSplitter* splitter, int windowHeight);

private:
    void inspect(QWebEnginePage* portalPage);
};

#endif // DEVELOPERVIEW_H
