#include "PortalOrigins.h"

#include "transfer/TransferAgent.h"

namespace {
// The origin a browser sends for pages from url, empty for what cannot be a portal.
QString originOf(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    const bool web = scheme == QLatin1String("https") || scheme == QLatin1String("http");
    return web && !url.host().isEmpty() ? TransferAgent::originOf(url) : QString();
}
} // namespace

void PortalOrigins::set(const QList<QUrl>& savedServers, const QUrl& loadedPortal)
{
    QStringList origins;
    for (const QUrl& server : savedServers) {
        origins.append(originOf(server));
    }
    const QString loaded = originOf(loadedPortal);
    origins.append(loaded);
    origins.removeAll(QString());
    origins.removeDuplicates();
    const QMutexLocker lock(&m_mutex);
    m_origins = origins;
    m_loaded = loaded;
}

bool PortalOrigins::contains(const QByteArray& origin) const
{
    const QMutexLocker lock(&m_mutex);
    return !origin.isEmpty() && m_origins.contains(QString::fromLatin1(origin));
}

QString PortalOrigins::loaded() const
{
    const QMutexLocker lock(&m_mutex);
    return m_loaded;
}
