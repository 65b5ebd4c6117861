#ifndef SHELL_H
#define SHELL_H

#include <QStringList>

#include <functional>

class CLoginUI;
class CMainWindow;

// The client's two top-level windows.
struct ShellWindows
{
    CMainWindow* mainWindow = nullptr;
    CLoginUI* loginUI = nullptr;
};

// The one start-up sequence of the client. main, the tests, the tools and the benchmarks
// all build the shell through it, so they all run what the client runs, in its order.
namespace Shell {
// Runs one named step of start-up; the benchmarks pass one that times the steps.
using StepRunner = std::function<void(const char* step, const std::function<void()>& run)>;

// Everything start-up does before it shows anything, in this order: the quit policy, the proxy,
// the application font, the main window (which sets mainWindowInstance), the server selection
// window, initLayout, the stored language, initCore.
ShellWindows build(const StepRunner& runStep = {});
// build(), then handle_show for this command line (the program path first): the window
// and the automatic login the arguments ask for.
ShellWindows start(const QStringList& arguments);
// For programs that go on without the shell (tests, tools, benchmarks): what the exit
// routine ends, then both windows. The client itself never calls it.
void stop(const ShellWindows& windows);
} // namespace Shell

#endif // SHELL_H
