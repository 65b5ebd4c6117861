#include "ProxyRoute.h"

#include "SystemProxy.h"
#include "core/CoreLogging.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QMutex>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {
// A server's decision is asked again after this, so that changed settings take effect.
const qint64 KeptMs = 60 * 1000;
// Servers whose decision is kept at once; a hostile page naming many only costs questions.
const int MaxKept = 64;
const QString Localhost = QStringLiteral("localhost");
const QString Direct = QStringLiteral("direct://");
// A PAC file whose server never ends its answer, or whose script never returns, must not hold
// a transfer forever: past this the server is reached directly, as when no PAC file loads.
const std::chrono::seconds DecisionTimeout(20);

struct Kept
{
    QList<QByteArray> ways;
    QDeadlineTimer until;
};

QMutex keptMutex;
QHash<QString, Kept> kept;

// As the web engine does, this machine is never reached through a proxy.
bool loopback(const QUrl& url)
{
    const QString host = url.host().toLower();
    return host == Localhost || host.endsWith(QLatin1Char('.') + Localhost) || QHostAddress(host).isLoopback();
}

// The system's names to libcurl's, empty for a kind libcurl does not speak. socks5 names are
// looked up by the proxy, as the engine does.
QByteArray forCurl(const QString& way)
{
    const QUrl proxy(way);
    const QString scheme = proxy.scheme();
    QByteArray curlScheme;
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        curlScheme = scheme.toLatin1();
    } else if (scheme == QLatin1String("socks5")) {
        curlScheme = QByteArrayLiteral("socks5h");
    } else if (scheme == QLatin1String("socks") || scheme == QLatin1String("socks4")) {
        curlScheme = QByteArrayLiteral("socks4a");
    } else {
        return {};
    }
    return curlScheme + "://" + QUrl::toAce(proxy.host()) + ':' + QByteArray::number(proxy.port(1080));
}

// Asked on a thread of its own, which a question that never returns may keep.
QStringList systemDecision(const QUrl& url)
{
    auto answer = std::make_shared<std::promise<QStringList>>();
    std::future<QStringList> future = answer->get_future();
    std::thread([answer, url] { answer->set_value(SystemProxy::forUrl(url)); }).detach();
    if (future.wait_for(DecisionTimeout) != std::future_status::ready) {
        qCWarning(lcTransfer) << "no proxy decision for" << url.host() << "in time: going directly";
        return {Direct};
    }
    return future.get();
}

QList<QByteArray> decided(const QUrl& url)
{
    QList<QByteArray> ways;
    for (const QString& way : systemDecision(url)) {
        const QByteArray curlWay = way == Direct ? QByteArray() : forCurl(way);
        if ((way == Direct || !curlWay.isEmpty()) && !ways.contains(curlWay)) {
            ways << curlWay;
        }
    }
    return ways.isEmpty() ? QList<QByteArray> {QByteArray()} : ways;
}
} // namespace

QList<QByteArray> ProxyRoute::forUrl(const QUrl& url)
{
    if (loopback(url)) {
        return {QByteArray()};
    }
    const QString server =
        url.scheme() + QLatin1String("://") + url.host() + QLatin1Char(':') + QString::number(url.port());
    {
        const QMutexLocker lock(&keptMutex);
        const auto found = kept.constFind(server);
        if (found != kept.constEnd() && !found->until.hasExpired()) {
            return found->ways;
        }
    }
    // Asked without the lock: a slow PAC file holds up only the question that needs it.
    const QList<QByteArray> ways = decided(url);
    const QMutexLocker lock(&keptMutex);
    if (kept.size() >= MaxKept) {
        kept.clear();
    }
    kept.insert(server, {ways, QDeadlineTimer(KeptMs)});
    return ways;
}
