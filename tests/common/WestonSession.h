#ifndef WESTONSESSION_H
#define WESTONSESSION_H

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

// A Wayland desktop of the test's own: Weston's headless back-end, drawing into memory so that
// the screen can be pictured, on one plain background without a panel, and listening in the
// test's private runtime folder (TestEnvironment). Ended with the object.
class WestonSession
{
public:
    WestonSession() = default;
    ~WestonSession();
    WestonSession(const WestonSession&) = delete;
    WestonSession& operator=(const WestonSession&) = delete;

    // Starts Weston and points this process, and the programs it starts, at it (WAYLAND_DISPLAY,
    // QT_QPA_PLATFORM). Works before the application object exists, so that the test's own
    // windows can be Wayland's too. False when Weston does not come up.
    bool start();
    // The whole screen as Weston's screenshooter saves it; a null image when that failed.
    QImage screenshot();
    // The smallest rectangle holding every pixel that is not the background: the windows shown,
    // in the screen's coordinates; empty when none is.
    QRect windowsArea();
    // The smallest rectangle where before and after differ.
    static QRect changedArea(const QImage& before, const QImage& after);

private:
    QProcess m_weston;
    QTemporaryDir m_folder;
};

#endif // WESTONSESSION_H
