#ifndef PORTALSITE_H
#define PORTALSITE_H

#include "PortalOptions.h"
#include "PortalResponse.h"
#include "PortalStorage.h"
#include "TusEndpoint.h"

#include <QByteArray>
#include <QUrl>

#include <memory>

class PortalReceiver;
struct HttpRequest;

// The portal's pages and files: decides the answer to each request from its head. The
// login page hands the page a bearer token, which the file service (tus uploads, the file
// list and downloads) asks of every request, and the same token as its session cookie,
// which the page's own download links carry.
class PortalSite
{
public:
    // ownOrigin: scheme, host and port the portal is reached at; the version file
    // points the download there.
    PortalSite(const PortalOptions& options, const QUrl& ownOrigin);

    // What becomes of the request's body, of bodyLength bytes, and how it is answered.
    std::unique_ptr<PortalReceiver> receive(const HttpRequest& request, qint64 bodyLength);

private:
    using Handler = PortalResponse (PortalSite::*)(const HttpRequest&) const;

    struct Route
    {
        const char* path;
        Handler handle;
    };

    static Handler findHandler(const QByteArray& path);

    PortalResponse answer(const HttpRequest& request) const;
    bool isAuthorised(const HttpRequest& request) const;
    PortalResponse fileList();
    // The file named by the path after prefix.
    PortalResponse download(const HttpRequest& request, const QByteArray& prefix);
    // The same, as an attachment, for the page's own links.
    PortalResponse attachment(const HttpRequest& request);

    PortalResponse loginPage(const HttpRequest& request) const;
    PortalResponse mixedPage(const HttpRequest& request) const;
    PortalResponse plainPage(const HttpRequest& request) const;
    PortalResponse logo(const HttpRequest& request) const;
    PortalResponse versionFile(const HttpRequest& request) const;
    PortalResponse movedVersionFile(const HttpRequest& request) const;

    PortalResponse portalPage(const HttpRequest& request, const QByteArray& thirdPartyImage) const;

    const QByteArray m_versionFile;
    const bool m_redirectVersion;
    const QByteArray m_thirdPartyImage;
    const QByteArray m_agentPort;
    const QByteArray m_token;
    PortalStorage m_storage;
    TusEndpoint m_tus;
};

#endif // PORTALSITE_H
