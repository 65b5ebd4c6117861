#include "SystemProxy.h"

#include <QNetworkProxyFactory>

QStringList SystemProxy::qtNetworkWays(const QUrl& url)
{
    QStringList ways;
    for (const QNetworkProxy& proxy : QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url))) {
        const QString address = proxy.hostName() + QLatin1Char(':') + QString::number(proxy.port());
        if (proxy.type() == QNetworkProxy::HttpProxy) {
            ways << QStringLiteral("http://") + address;
        } else if (proxy.type() == QNetworkProxy::Socks5Proxy) {
            ways << QStringLiteral("socks5://") + address;
        } else {
            ways << QStringLiteral("direct://");
        }
    }
    return ways.isEmpty() ? QStringList {QStringLiteral("direct://")} : ways;
}
