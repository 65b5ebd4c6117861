#include "SystemProxy.h"

#include <QMutex>

#include <proxy.h>

// libproxy reads what the desktop says (the environment, GNOME's or KDE's settings), runs a PAC
// file and discovers one by WPAD, with the plug-ins installed beside it.
namespace {
const QString Direct = QStringLiteral("direct://");

QMutex factoryMutex;

pxProxyFactory* factory()
{
    // Made on first use, not at start-up: loading its plug-ins takes a while.
    static pxProxyFactory* const shared = px_proxy_factory_new();
    return shared;
}
} // namespace

QStringList SystemProxy::forUrl(const QUrl& url)
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
