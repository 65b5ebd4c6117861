// bare-window: the least a Qt Widgets program does before a window is on screen. It
// shows an empty window the size of the client's server selection window and says when
// that window is exposed; the floor for the client's start-up.
//
// Built with NORV_WITH_WEB_ENGINE it is engine-window: the same window in a program that,
// like the client, links Qt WebEngine, whose libraries and shared GL context come up
// while the application object is built. It separates what the engine costs from what
// the shell adds.
#include "ExposeReporter.h"

#include <QApplication>
#include <QMainWindow>
#include <QWindow>

int main(int argc, char** argv)
{
#ifdef NORV_WITH_WEB_ENGINE
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    const QString title = QStringLiteral("engine-window");
#else
    const QString title = QStringLiteral("bare-window");
#endif
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(title);
    window.setFixedSize(500, 593);
    window.show();
    ExposeReporter reporter;
    window.windowHandle()->installEventFilter(&reporter);
    return QApplication::exec();
}
