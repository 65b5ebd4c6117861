#include "SystemProxy.h"

#include <QByteArrayList>
#include <QMutex>

#include <proxy.h>

#include <algorithm>

// libproxy reads what the desktop says (GNOME's or KDE's settings, the environment), runs a
// PAC file and discovers one by WPAD, with the plug-ins installed beside it.
namespace {
const QString Direct = QStringLiteral("direct://");
// The sessions libproxy takes for GNOME's.
const QByteArrayList GnomeSessions {QByteArrayLiteral("gnome"), QByteArrayLiteral("gnome-wayland")};
// How the environment names a PAC file or discovery for libproxy.
const QByteArrayList AutomaticPrefixes {QByteArrayLiteral("pac+"), QByteArrayLiteral("wpad:")};

QMutex factoryMutex;

pxProxyFactory* factory()
{
    // Made on first use, not at start-up: loading its plug-ins takes a while.
    static pxProxyFactory* const shared = px_proxy_factory_new();
    return shared;
}

// A fixed proxy in the environment. libproxy reads no_proxy its own way (a name without a dot
// never matches, "example.com" does not cover the hosts under it), unlike curl, Qt Network
// and the engine; that case is left to Qt Network.
bool fixedInEnvironment()
{
    for (const char* name : {"http_proxy", "https_proxy"}) {
        const QByteArray value = qgetenv(name);
        const bool automatic = std::any_of(AutomaticPrefixes.begin(),
                                           AutomaticPrefixes.end(),
                                           [&](const QByteArray& prefix) { return value.startsWith(prefix); });
        if (!value.isEmpty() && !automatic) {
            return true;
        }
    }
    return false;
}

QStringList libproxyWays(const QUrl& url)
{
    QStringList ways;
    const QMutexLocker lock(&factoryMutex);
    char** proxies = factory() ? px_proxy_factory_get_proxies(factory(), url.toEncoded().constData()) : nullptr;
    for (char** proxy = proxies; proxy && *proxy; ++proxy) {
        ways << QString::fromUtf8(*proxy);
    }
    if (proxies) {
        px_proxy_factory_free_proxies(proxies);
    }
    return ways.isEmpty() ? QStringList {Direct} : ways;
}
} // namespace

QStringList SystemProxy::forUrl(const QUrl& url)
{
    return !desktopDecides() && fixedInEnvironment() ? qtNetworkWays(url) : libproxyWays(url);
}

bool SystemProxy::desktopDecides()
{
    return qEnvironmentVariableIsSet("GNOME_DESKTOP_SESSION_ID") || GnomeSessions.contains(qgetenv("DESKTOP_SESSION"));
}
