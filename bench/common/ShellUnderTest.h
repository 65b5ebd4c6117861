#ifndef SHELLUNDERTEST_H
#define SHELLUNDERTEST_H

#include "app/Shell.h"

class CLoginUI;
class CMainWindow;

// The client's windows inside a benchmark program, built by the client's own start-up.
class ShellUnderTest
{
public:
    // What src/app/main.cpp sets before the application exists.
    static void prepareProcess();
    // The client's application name (it names the data folder) and a free port for the local service.
    static void configureApplication();

    // Start-up up to handle_show: nothing is shown and no automatic login runs, so only what a
    // benchmark asks for is measured. runStep may time the steps.
    explicit ShellUnderTest(const Shell::StepRunner& runStep = {});
    ~ShellUnderTest();
    ShellUnderTest(const ShellUnderTest&) = delete;
    ShellUnderTest& operator=(const ShellUnderTest&) = delete;

    CMainWindow* window() const { return m_windows.mainWindow; }
    CLoginUI* login() const { return m_windows.loginUI; }

    // A language other than the current one.
    int otherLanguage() const;

private:
    ShellWindows m_windows;
};

#endif // SHELLUNDERTEST_H
