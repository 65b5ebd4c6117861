#ifndef SYSTEMPROXY_H
#define SYSTEMPROXY_H

#include <QStringList>
#include <QUrl>

// The operating system's proxy decision for one address: its settings, a proxy
// auto-configuration file or automatic discovery. It may block for seconds (a PAC file or a
// discovery to fetch), so it is never asked on the GUI thread. Safe from any thread.
namespace SystemProxy {
// The ways to url in the order to try them, each "direct://" or "scheme://host:port"
// (http, https, socks, socks4, socks5). Never empty.
QStringList forUrl(const QUrl& url);
// Whether the desktop's settings decide rather than the environment: in a GNOME session, as
// libproxy tells one. Never on Windows.
bool desktopDecides();
// Qt Network's own reading (on Linux the environment, on Windows WinHTTP's), as forUrl gives it.
QStringList qtNetworkWays(const QUrl& url);
} // namespace SystemProxy

#endif // SYSTEMPROXY_H
