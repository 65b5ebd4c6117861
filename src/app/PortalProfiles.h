#ifndef PORTALPROFILES_H
#define PORTALPROFILES_H

#include <QHash>
#include <QString>

class PageDownloads;
class QObject;
class QWebEngineProfile;

// The web profiles of the portals, one per host, made on first use and kept for the run.
class PortalProfiles
{
public:
    // The profiles are children of owner and end with it; downloads takes their pages' downloads.
    PortalProfiles(QObject* owner, PageDownloads* downloads);

    // The profile of host, its storage and cache folders the user's alone.
    QWebEngineProfile* forHost(const QString& host);

private:
    QObject* owner;
    PageDownloads* downloads;
    QHash<QString, QWebEngineProfile*> profiles;
};

#endif // PORTALPROFILES_H
