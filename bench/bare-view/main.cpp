// bare-view: the least a Qt WebEngine program does to show a page. It loads the address
// given as its one argument and, like the client with its portal, shows the view
// maximised once the load has ended, writing "loadFinished 1" (or 0); the floor for
// loading a portal.
#include "HostTrustingPage.h"

#include <QApplication>
#include <QTextStream>
#include <QWebEngineProfile>
#include <QWebEngineView>

int main(int argc, char** argv)
{
    // As in the client: Qt WebEngine needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QUrl address(QCoreApplication::arguments().value(1));
    QWebEngineView view;
    view.setWindowTitle(QStringLiteral("bare-view"));
    view.setPage(new HostTrustingPage(address.host(), QWebEngineProfile::defaultProfile(), &view));
    QObject::connect(view.page(), &QWebEnginePage::loadFinished, &view, [&view](bool ok) {
        QTextStream(stdout) << "loadFinished " << (ok ? 1 : 0) << Qt::endl;
        view.showMaximized();
    });
    view.page()->setUrl(address);
    return QApplication::exec();
}
