#ifndef PROXYROUTE_H
#define PROXYROUTE_H

#include <QByteArray>
#include <QList>
#include <QUrl>

// Which proxies an exchange goes through: the system's decision for the address, so the
// agent, the update check and the page take the same way out (the shell tells the web
// engine the same). Decisions are kept a while per server, as asking may mean running a PAC
// file. Safe from any thread; the first question for a server may block.
namespace ProxyRoute {
// For libcurl's CURLOPT_PROXY, in the order to try them: "http://host:port",
// "socks5h://host:port", or empty for none. Never empty itself.
QList<QByteArray> forUrl(const QUrl& url);
} // namespace ProxyRoute

#endif // PROXYROUTE_H
