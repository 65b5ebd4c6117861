#ifndef SHELLUNDERTEST_H
#define SHELLUNDERTEST_H

class CLoginUI;
class CMainWindow;

// The client's windows inside a benchmark program, built step by step in the order
// src/app/main.cpp builds them, so that each step can be timed on its own.
class ShellUnderTest
{
public:
    // What src/app/main.cpp sets before the application exists.
    static void prepareProcess();
    // The client's application name (it names the data folder) and interface font.
    static void configureApplication();

    // The main window (which reads the saved servers and the settings) and the server
    // selection window, attached to each other.
    ShellUnderTest();
    ~ShellUnderTest();
    ShellUnderTest(const ShellUnderTest&) = delete;
    ShellUnderTest& operator=(const ShellUnderTest&) = delete;

    CMainWindow* window() const { return m_window; }
    CLoginUI* login() const;

    // Menus, central splitter and the rows and menu entries of the saved servers.
    void layOut();
    void applyStoredLanguage();
    // A language other than the current one.
    int otherLanguage() const;

private:
    CMainWindow* m_window = nullptr;
};

#endif // SHELLUNDERTEST_H
