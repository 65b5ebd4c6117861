#include "EngineProxy.h"

#include "GnomeProxySettings.h"
#include "core/transfer/ProxyRoute.h"

#include <QNetworkProxyFactory>
#include <QUrl>

// On Linux Qt Network reads only the environment, while the engine would also read the
// desktop's settings, and neither reads them as the agent and the update check do
// (SystemProxy). So the engine is given the decision on its command line: the PAC file or
// discovery itself, for it to run, or the fixed proxy.
namespace {
// Any host outside no_proxy shows which proxy a scheme takes.
const QString ProbeHost = QStringLiteral("://proxy-probe.invalid/");
const QString Direct = QStringLiteral("direct://");
const QString NoProxy = QStringLiteral("--no-proxy-server");
const QString AutoDetect = QStringLiteral("--proxy-auto-detect");
const QString PacUrlSwitch = QStringLiteral("--proxy-pac-url=");
const QString BypassSwitch = QStringLiteral("--proxy-bypass-list=");
// How the environment names a PAC file or discovery, as libproxy reads it.
const QString PacPrefix = QStringLiteral("pac+");
const QString DiscoveryPrefix = QStringLiteral("wpad:");

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

// The environment's proxy for a scheme, as Qt Network reads it.
QString environmentServer(const QString& scheme)
{
    return engineServer(QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(QUrl(scheme + ProbeHost))).value(0));
}

// The desktop's proxy for a scheme, as the agent takes it; libcurl's socks5h is the engine's socks5.
QString desktopServer(const QString& scheme)
{
    const QString way = QString::fromLatin1(ProxyRoute::forUrl(QUrl(scheme + ProbeHost)).first());
    return way.isEmpty() ? Direct : QString(way).replace(QStringLiteral("socks5h:"), QStringLiteral("socks5:"));
}

// Qt Network matches each no_proxy entry as a suffix of the host's name: "example.com"
// and ".example.com" both cover example.com and every host under it.
QStringList environmentBypassList()
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

QStringList fixedSwitches(const QString& http, const QString& https, const QStringList& bypass)
{
    if (http == Direct && https == Direct) {
        return {NoProxy};
    }
    QStringList switches {QStringLiteral("--proxy-server=http=%1;https=%2").arg(http, https)};
    if (!bypass.isEmpty()) {
        switches << BypassSwitch + bypass.join(QLatin1Char(';'));
    }
    return switches;
}

QStringList gnomeSwitches(const GnomeProxySettings& gnome)
{
    switch (gnome.mode) {
    case GnomeProxySettings::Mode::Automatic:
        return {gnome.pacUrl.isEmpty() ? AutoDetect : PacUrlSwitch + gnome.pacUrl};
    case GnomeProxySettings::Mode::Manual:
        return fixedSwitches(
            desktopServer(QStringLiteral("http")), desktopServer(QStringLiteral("https")), gnome.ignoredHosts);
    default:
        return {NoProxy};
    }
}
} // namespace

QStringList EngineProxy::switches()
{
    const GnomeProxySettings gnome;
    if (gnome.mode != GnomeProxySettings::Mode::NotInUse) {
        return gnomeSwitches(gnome);
    }
    const QString configured = QString::fromLocal8Bit(qgetenv("http_proxy"));
    if (configured.startsWith(PacPrefix)) {
        return {PacUrlSwitch + configured.mid(PacPrefix.size())};
    }
    if (configured.startsWith(DiscoveryPrefix)) {
        return {AutoDetect};
    }
    // A fixed proxy, as SystemProxy reads it too.
    return fixedSwitches(
        environmentServer(QStringLiteral("http")), environmentServer(QStringLiteral("https")), environmentBypassList());
}
