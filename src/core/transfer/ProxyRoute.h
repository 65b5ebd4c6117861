#ifndef PROXYROUTE_H
#define PROXYROUTE_H

#include <QByteArray>
#include <QUrl>

// Which proxy an exchange goes through: the one Qt Network names for the address, so the
// agent, the update check and the page take the same way out (the shell tells the web
// engine the same). Safe from any thread.
namespace ProxyRoute {
// For libcurl's CURLOPT_PROXY: "http://host:port" or "socks5h://host:port", empty for none.
QByteArray forUrl(const QUrl& url);
} // namespace ProxyRoute

#endif // PROXYROUTE_H
