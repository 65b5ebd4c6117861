#ifndef PRIVATEDISPLAY_H
#define PRIVATEDISPLAY_H

#include <QByteArray>
#include <QProcess>
#include <QString>

// An X server of the test's own with a window manager and no notification area, for sessions
// the shared test display must not turn into (no tray, another dpi). Ended with the object.
class PrivateDisplay
{
public:
    // resources: X resources loaded with xrdb before any program connects, as a desktop
    // does at log-in (for example "Xft.dpi: 192").
    explicit PrivateDisplay(const QByteArray& resources = {});
    ~PrivateDisplay();

    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // ":N", empty when the server did not start.
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};

#endif // PRIVATEDISPLAY_H
