#ifndef NETWORKPROXY_H
#define NETWORKPROXY_H

#include <QList>
#include <QNetworkProxy>
#include <QUrl>

// The client's one proxy decision. The system decides for each address (on Linux libproxy:
// the environment, GNOME's or KDE's settings, a PAC file or WPAD; on Windows WinHTTP); the
// update check and the transfer agent ask it for each address, and the web engine is told
// the same before it starts (the PAC file itself where there is one), so that the page never
// goes another way.
namespace NetworkProxy {
// Once per process, before the first web profile. Later calls change nothing.
void apply();
// The proxies for url in the order to try them; NoProxy stands for a direct connection.
// May block (a PAC file to fetch): not on the GUI thread.
QList<QNetworkProxy> forUrl(const QUrl& url);
} // namespace NetworkProxy

#endif // NETWORKPROXY_H
