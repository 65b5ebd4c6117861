#include "EngineProxy.h"

#include <QNetworkProxyFactory>
#include <QUrl>

// On Linux Qt Network reads only the environment, while the engine would also read the
// desktop's settings. So the engine is given what Qt Network found, fixed on its command line.
namespace {
// Any host outside no_proxy shows which proxy a scheme takes.
const QString ProbeHost = QStringLiteral("://proxy-probe.invalid/");
const QString Direct = QStringLiteral("direct://");

QNetworkProxy proxyForScheme(const QString& scheme)
{
    return QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(QUrl(scheme + ProbeHost))).value(0);
}

QString engineServer(const QNetworkProxy& proxy)
{
    const QString address = proxy.hostName() + QLatin1Char(':') + QString::number(proxy.port());
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
        return QStringLiteral("http://") + address;
    case QNetworkProxy::Socks5Proxy:
        return QStringLiteral("socks5://") + address;
    default:
        return Direct;
    }
}

// Qt Network matches each no_proxy entry as a suffix of the host's name: "example.com"
// and ".example.com" both cover example.com and every host under it.
QStringList engineBypassList()
{
    QStringList rules;
    const QStringList entries = QString::fromLocal8Bit(qgetenv("no_proxy")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString entry : entries) {
        entry = entry.trimmed();
        while (entry.startsWith(QLatin1Char('*')) || entry.startsWith(QLatin1Char('.'))) {
            entry.remove(0, 1);
        }
        if (entry.isEmpty()) {
            rules << QStringLiteral("*");
        } else {
            rules << entry << QStringLiteral("*.") + entry;
        }
    }
    return rules;
}
} // namespace

QStringList EngineProxy::switches()
{
    const QString http = engineServer(proxyForScheme(QStringLiteral("http")));
    const QString https = engineServer(proxyForScheme(QStringLiteral("https")));
    if (http == Direct && https == Direct) {
        return {QStringLiteral("--no-proxy-server")};
    }
    QStringList switches {QStringLiteral("--proxy-server=http=%1;https=%2").arg(http, https)};
    const QStringList bypass = engineBypassList();
    if (!bypass.isEmpty()) {
        switches << QStringLiteral("--proxy-bypass-list=") + bypass.join(QLatin1Char(';'));
    }
    return switches;
}
