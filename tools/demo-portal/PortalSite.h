#ifndef PORTALSITE_H
#define PORTALSITE_H

#include "PortalOptions.h"
#include "PortalResponse.h"

#include <QByteArray>
#include <QUrl>

struct HttpRequest;

// The portal's pages and files: decides the answer to each parsed request.
class PortalSite
{
public:
    // ownOrigin: scheme, host and port the portal is reached at; the version file
    // points the download there.
    PortalSite(const PortalOptions& options, const QUrl& ownOrigin);

    PortalResponse answer(const HttpRequest& request) const;

private:
    using Handler = PortalResponse (PortalSite::*)(const HttpRequest&) const;

    struct Route
    {
        const char* path;
        Handler handle;
    };

    static Handler findHandler(const QByteArray& path);

    PortalResponse loginPage(const HttpRequest& request) const;
    PortalResponse mixedPage(const HttpRequest& request) const;
    PortalResponse plainPage(const HttpRequest& request) const;
    PortalResponse logo(const HttpRequest& request) const;
    PortalResponse versionFile(const HttpRequest& request) const;
    PortalResponse movedVersionFile(const HttpRequest& request) const;

    static PortalResponse portalPage(const HttpRequest& request, const QByteArray& thirdPartyImage);

    const QByteArray m_versionFile;
    const bool m_redirectVersion;
    const QByteArray m_thirdPartyImage;
};

#endif // PORTALSITE_H
