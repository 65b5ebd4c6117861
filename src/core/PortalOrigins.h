#ifndef PORTALORIGINS_H
#define PORTALORIGINS_H

#include <QMutex>
#include <QStringList>
#include <QUrl>

// The web origins whose pages may move the user's files through the local service: those
// of the saved servers and of the portal loaded now. Any page in the user's browser can
// reach loopback, and the device id alone is no secret worth trusting with files.
// Safe from any thread: the shell sets it, the local service asks.
class PortalOrigins
{
public:
    void set(const QList<QUrl>& savedServers, const QUrl& loadedPortal);
    // origin: the Origin field as a browser sends it, compared exactly; "null" never matches.
    bool contains(const QByteArray& origin) const;
    // The origin of the portal loaded now, empty when none is.
    QString loaded() const;

private:
    mutable QMutex m_mutex;
    QStringList m_origins;
    QString m_loaded;
};

#endif // PORTALORIGINS_H
