#include "ProxyRoute.h"

#include <QNetworkProxyFactory>

QByteArray ProxyRoute::forUrl(const QUrl& url)
{
    const QNetworkProxy proxy = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url)).value(0);
    QByteArray scheme;
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
        scheme = QByteArrayLiteral("http://");
        break;
    case QNetworkProxy::Socks5Proxy:
        // Names are looked up by the proxy, as the engine does for socks5.
        scheme = QByteArrayLiteral("socks5h://");
        break;
    default:
        return {};
    }
    return scheme + QUrl::toAce(proxy.hostName()) + ':' + QByteArray::number(proxy.port());
}
