#include "Shell.h"

#include "ApplicationFont.h"
#include "CMainWindow.h"
#include "FocusRing.h"
#include "LaunchChannel.h"
#include "login/CLoginUI.h"
#include "proxy/NetworkProxy.h"

#include <QApplication>

namespace Shell {
ShellWindows build(const StepRunner& runStep)
{
    const auto step = [&runStep](const char* name, const std::function<void()>& run) {
        if (runStep) {
            runStep(name, run);
        } else {
            run();
        }
    };
    // Only the exit routine ends the process; closing or hiding windows never does.
    QApplication::setQuitOnLastWindowClosed(false);
    NetworkProxy::apply();
    ApplicationFont::apply();
    FocusRing::install();
    ShellWindows windows;
    step("main window", [&windows] {
        windows.mainWindow = new CMainWindow;
        mainWindowInstance = windows.mainWindow;
    });
    step("selection window", [&windows] {
        windows.loginUI = new CLoginUI;
        windows.mainWindow->loginUI = windows.loginUI;
    });
    CMainWindow* window = windows.mainWindow;
    step("layout", [window] { window->initLayout(); });
    step("language", [window] { window->slot_switch_language(window->language); });
    step("core", [window] { window->initCore(); });
    return windows;
}

ShellWindows start(const QStringList& arguments)
{
    const ShellWindows windows = build();
    windows.mainWindow->showForCommandLine(arguments);
    // Later starts of the client bring this one to the front.
    auto* launches = new LaunchChannel(windows.mainWindow);
    QObject::connect(launches, &LaunchChannel::showRequested, windows.mainWindow, &CMainWindow::showCurrentWindow);
    launches->listen();
    return windows;
}

void stop(const ShellWindows& windows)
{
    windows.mainWindow->stopServices();
    delete windows.loginUI;
    delete windows.mainWindow;
    mainWindowInstance = nullptr;
}
} // namespace Shell
