#include "NetworkProxy.h"

#include "app/Logging.h"
#include "core/transfer/ProxyRoute.h"
#include "platform/EngineProxy.h"

#include <QNetworkProxyFactory>

#include <algorithm>

namespace {
const char EngineFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";
const QString BypassSwitch = QStringLiteral("--proxy-bypass-list=");
// A proxy already named on the engine's command line is the user's choice and stays.
const QStringList ProxySwitches {QStringLiteral("--proxy-server"),
                                 QStringLiteral("--no-proxy-server"),
                                 QStringLiteral("--proxy-pac-url"),
                                 QStringLiteral("--proxy-auto-detect")};

bool namesProxy(const QStringList& flags)
{
    for (const QString& flag : flags) {
        for (const QString& proxySwitch : ProxySwitches) {
            if (flag.startsWith(proxySwitch)) {
                return true;
            }
        }
    }
    return false;
}

// The engine keeps only the last of a repeated switch: bypass rules already given (a test's
// "<-loopback>", say) are joined with ours into one.
QStringList joined(QStringList flags, const QStringList& ours)
{
    for (const QString& flag : ours) {
        const auto given =
            std::find_if(flags.begin(), flags.end(), [](const QString& f) { return f.startsWith(BypassSwitch); });
        if (flag.startsWith(BypassSwitch) && given != flags.end()) {
            *given += QLatin1Char(';') + flag.mid(BypassSwitch.size());
        } else {
            flags << flag;
        }
    }
    return flags;
}

void tellEngine()
{
    const QStringList flags =
        QString::fromLocal8Bit(qgetenv(EngineFlagsVariable)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (namesProxy(flags)) {
        qCInfo(lcApp) << "The web engine's proxy is set on its command line; the system's is not used for pages";
        return;
    }
    const QStringList all = joined(flags, EngineProxy::switches());
    qCDebug(lcApp) << "web engine proxy" << all;
    qputenv(EngineFlagsVariable, all.join(QLatin1Char(' ')).toLocal8Bit());
}
} // namespace

void NetworkProxy::apply()
{
    static const bool applied = [] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        tellEngine();
        return true;
    }();
    Q_UNUSED(applied);
}

QList<QNetworkProxy> NetworkProxy::forUrl(const QUrl& url)
{
    QList<QNetworkProxy> proxies;
    for (const QByteArray& way : ProxyRoute::forUrl(url)) {
        const QUrl proxy(QString::fromLatin1(way));
        const bool socks = proxy.scheme().startsWith(QLatin1String("socks"));
        proxies << (way.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy)
                                  : QNetworkProxy(socks ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy,
                                                  proxy.host(),
                                                  static_cast<quint16>(proxy.port())));
    }
    return proxies;
}
