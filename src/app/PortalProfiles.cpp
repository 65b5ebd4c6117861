#include "PortalProfiles.h"

#include "config/OwnerOnly.h"
#include "transfers/PageDownloads.h"

#include <QCryptographicHash>
#include <QWebEngineProfile>

PortalProfiles::PortalProfiles(QObject* owner, PageDownloads* downloads)
    : owner(owner)
    , downloads(downloads)
{
}

QWebEngineProfile* PortalProfiles::forHost(const QString& host)
{
    // The engine remembers an accepted certificate for a host per profile. In one shared
    // profile, a certificate accepted while one portal was in use would stay trusted for
    // pages of that host pulled into every later portal.
    QWebEngineProfile*& profile = profiles[host];
    if (!profile) {
        const QByteArray storage = QCryptographicHash::hash(host.toUtf8(), QCryptographicHash::Sha1).toHex();
        profile = new QWebEngineProfile(QStringLiteral("portal-") + QString::fromLatin1(storage), owner);
        downloads->watch(profile);
    }
    // Cookies and cache hold the portal's session. Checked at every use: an earlier version
    // may have made the folders, or they may have been widened since.
    OwnerOnly::makeFolder(profile->persistentStoragePath());
    OwnerOnly::makeFolder(profile->cachePath());
    return profile;
}
