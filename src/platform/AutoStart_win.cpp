#include "AutoStart.h"

#include <QCoreApplication>
#include <QSettings>

namespace {
const QString RunKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString AutostartSwitches = QStringLiteral("\" -min -autorun");
} // namespace

namespace AutoStart {
void apply(bool enabled)
{
    const QString valueName = QCoreApplication::applicationName();
    QSettings runKey(RunKey, QSettings::NativeFormat);
    if (enabled) {
        QString program = QCoreApplication::applicationFilePath();
        program.replace(QLatin1Char('/'), QLatin1Char('\\'));
        runKey.setValue(valueName, QString(QLatin1Char('"') + program + AutostartSwitches));
    } else {
        runKey.remove(valueName);
    }
}
} // namespace AutoStart
