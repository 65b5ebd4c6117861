#include "ShellFixture.h"

#include "app/CMainWindow.h"
#include "app/Shell.h"
#include "config/SettingsFile.h"

namespace {
const QString ProgramPath = QStringLiteral("norv-client");

void useFreePort()
{
    qputenv("NORV_HTTPD_PORT", "0");
}
} // namespace

namespace ShellFixture {
QStringList commandLine(const QStringList& switches)
{
    return QStringList {ProgramPath} + switches;
}

CMainWindow* start(const QStringList& switches)
{
    useFreePort();
    return Shell::start(commandLine(switches)).mainWindow;
}

CMainWindow* build(int language)
{
    useFreePort();
    Settings settings = SettingsFile::read();
    settings.language = language;
    SettingsFile::write(settings);
    return Shell::build().mainWindow;
}

void stop(CMainWindow* window)
{
    Shell::stop({window, window->loginUI});
}
} // namespace ShellFixture
