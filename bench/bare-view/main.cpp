// bare-view: the least a Qt WebEngine program does to show a page. It loads the address
// given as its first argument and, like the client with its portal, shows the view
// maximised once the load has ended, writing "loadFinished 1" (or 0); the floor for
// loading a portal.
//
// With a second argument, a number of milliseconds, the load waits that long, as the
// client's automatic login waits after start-up, and the engine and the page's renderer
// start during the wait, as in the client: the floor for a program bound to that wait.
#include "HostTrustingPage.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    // As in the client: Qt WebEngine needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QUrl address(arguments.value(1));
    bool waits = false;
    const int waitMs = arguments.value(2).toInt(&waits);
    QTimer wait;
    wait.setSingleShot(true);
    if (waits) {
        wait.start(waitMs);
    }
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("bare-view"));
    view.setPage(new HostTrustingPage(address.host(), QWebEngineProfile::defaultProfile(), &view));
    QObject::connect(view.page(), &QWebEnginePage::loadFinished, &view, [&view](bool ok) {
        QTextStream(stdout) << "loadFinished " << (ok ? 1 : 0) << Qt::endl;
        view.showMaximized();
    });
    if (!waits) {
        view.page()->setUrl(address);
        return QApplication::exec();
    }
    QObject::connect(&wait, &QTimer::timeout, &view, [&view, &address] { view.page()->setUrl(address); });
    // An empty script makes the engine create the page's first document and start its renderer.
    view.page()->runJavaScript(QString());
    return QApplication::exec();
}
