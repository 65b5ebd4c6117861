// bare-window: the least a Qt Widgets program does before a window is on screen. It
// shows an empty window the size of the client's server selection window and says when
// that window is exposed; the floor for the client's start-up.
#include "ExposeReporter.h"

#include <QApplication>
#include <QMainWindow>
#include <QWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("bare-window"));
    window.setFixedSize(500, 593);
    window.show();
    ExposeReporter reporter;
    window.windowHandle()->installEventFilter(&reporter);
    return QApplication::exec();
}
