#include "DesktopSession.h"

#include "app/Product.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {
const int ToolTimeoutMs = 10000;
const int ShownTimeoutMs = 20000;
const QPoint InsideTrayIcon(4, 4);
// xdotool's button numbers.
const int LeftButton = 1;
const int RightButton = 3;

QString windowTitle()
{
    return QString::fromUtf8(ProductName);
}
} // namespace

namespace DesktopSession {
QByteArray runTool(const QStringList& command, int* exitCode, const QString& display)
{
    QProcess tool;
    if (!display.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), display);
        tool.setProcessEnvironment(environment);
    }
    tool.start(command.first(), command.mid(1));
    tool.waitForFinished(ToolTimeoutMs);
    if (exitCode) {
        *exitCode = tool.exitCode();
    }
    return tool.readAllStandardOutput();
}

bool windowManagerRuns()
{
    int exitCode = -1;
    runTool({QStringLiteral("wmctrl"), QStringLiteral("-m")}, &exitCode);
    return exitCode == 0;
}

bool clientWindowShown(const QString& display)
{
    int exitCode = -1;
    runTool({QStringLiteral("xdotool"),
             QStringLiteral("search"),
             QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"),
             windowTitle()},
            &exitCode,
            display);
    return exitCode == 0;
}

bool clientWindowActive(const QString& display)
{
    const QByteArray name =
        runTool({QStringLiteral("xdotool"), QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")},
                nullptr,
                display);
    return QString::fromUtf8(name.trimmed()) == windowTitle();
}

void closeClientWindow(const QString& display)
{
    runTool({QStringLiteral("wmctrl"), QStringLiteral("-c"), windowTitle()}, nullptr, display);
}

QString trayIconWindow(const QString& display)
{
    // A small window of the client's class.
    const QString tree = QString::fromLatin1(
        runTool({QStringLiteral("xwininfo"), QStringLiteral("-root"), QStringLiteral("-tree")}, nullptr, display));
    static const QRegularExpression iconLine(
        QStringLiteral("(0x[0-9a-f]+) \"norv-client\": \\(\"norv-client\" \"norv-client\"\\)\\s+(\\d+)x(\\d+)"));
    for (auto match = iconLine.globalMatch(tree); match.hasNext();) {
        const QRegularExpressionMatch window = match.next();
        if (window.captured(2).toInt() <= 64 && window.captured(3).toInt() <= 64) {
            return window.captured(1);
        }
    }
    return {};
}

QStringList shownClientWindows(const QString& display)
{
    return QString::fromLatin1(runTool({QStringLiteral("xdotool"),
                                        QStringLiteral("search"),
                                        QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--classname"),
                                        QStringLiteral("norv-client")},
                                       nullptr,
                                       display))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void clickWindow(const QString& display, const QString& window, int button, QPoint point)
{
    if (point.x() < 0) {
        const QString geometry = QString::fromLatin1(
            runTool({QStringLiteral("xdotool"), QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window},
                    nullptr,
                    display));
        static const QRegularExpression size(QStringLiteral("WIDTH=(\\d+)\\s+HEIGHT=(\\d+)"));
        const QRegularExpressionMatch match = size.match(geometry);
        point = QPoint(match.captured(1).toInt() / 2, match.captured(2).toInt() / 2);
    }
    runTool({QStringLiteral("xdotool"),
             QStringLiteral("mousemove"),
             QStringLiteral("--window"),
             window,
             QString::number(point.x()),
             QString::number(point.y()),
             QStringLiteral("click"),
             QString::number(button)},
            nullptr,
            display);
}

bool quitFromTrayMenu(const QString& display)
{
    QString icon;
    if (!QTest::qWaitFor([&] { return !(icon = trayIconWindow(display)).isEmpty(); }, ShownTimeoutMs)) {
        return false;
    }
    // The menu is the client's window that the right click maps.
    const QStringList before = shownClientWindows(display);
    clickWindow(display, icon, RightButton, InsideTrayIcon);
    QStringList added;
    const bool menuShown = QTest::qWaitFor(
        [&] {
            added = shownClientWindows(display);
            for (const QString& window : before) {
                added.removeAll(window);
            }
            return added.size() == 1;
        },
        ShownTimeoutMs);
    if (menuShown) {
        clickWindow(display, added.first(), LeftButton);
    }
    return menuShown;
}
} // namespace DesktopSession
