#include "DesktopSession.h"

#include "app/Product.h"

#include <QProcess>

namespace {
const int ToolTimeoutMs = 10000;

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

void closeClientWindow(const QString& display)
{
    runTool({QStringLiteral("wmctrl"), QStringLiteral("-c"), windowTitle()}, nullptr, display);
}
} // namespace DesktopSession
