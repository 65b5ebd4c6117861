// content-window: engine-window showing what the client's first window shows, with nothing of
// the shell: the interface font (its Chinese stand-in where "Microsoft YaHei" is missing), a
// menu bar of three menus, a tray icon, Chinese text, line edits and a button. Qt does the
// same first work for them as for the client (the font engine and its shaping, the menu bar's
// and the tray's questions to the session bus, the tray's docking), so the client's start-up
// over this window is what the shell itself adds. It loads fontconfig early, as the client does.
#include "../bare-window/ExposeReporter.h"
#include "platform/FontPreload.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <QWindow>

namespace {
const int IconSize = 32;

QWidget* content()
{
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->addWidget(new QLabel(QStringLiteral("服务器地址")));
    auto* name = new QLineEdit;
    name->setPlaceholderText(QStringLiteral("请输入服务器名称"));
    layout->addWidget(name);
    auto* address = new QLineEdit;
    address->setPlaceholderText(QStringLiteral("请输入服务器地址"));
    layout->addWidget(address);
    layout->addWidget(new QPushButton(QStringLiteral("继续")));
    layout->addStretch();
    return widget;
}
} // namespace

int main(int argc, char** argv)
{
    const FontPreload fontPreload;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QFont::insertSubstitution(QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"));
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(14);
    QApplication::setFont(font);

    QPixmap icon(IconSize, IconSize);
    icon.fill(Qt::darkBlue);
    QSystemTrayIcon tray {QIcon(icon)};
    tray.setVisible(true);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("content-window"));
    for (const QString& title : {QStringLiteral("服务器"), QStringLiteral("语言"), QStringLiteral("帮助")}) {
        window.menuBar()->addMenu(title)->addAction(title);
    }
    window.setCentralWidget(content());
    window.setFixedSize(500, 593);
    window.show();
    ExposeReporter reporter;
    window.windowHandle()->installEventFilter(&reporter);
    return QApplication::exec();
}
