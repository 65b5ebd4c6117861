#ifndef HTTPROUTER_H
#define HTTPROUTER_H

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QtGlobal>

#include <memory>
#include <optional>

class HttpConnection;
class TesselCore;
class TesselPortal;
class TransferRoutes;

// Decides the answer to a parsed request and passes the portal's notifications on to
// the core, on the calling thread.
class HttpRouter
{
public:
    // port: the port the service is bound to, which the Host field must name.
    HttpRouter(TesselCore* core, TesselPortal* portal, quint16 port);
    ~HttpRouter();

    // The answer, or none when the endpoint keeps the connection to answer later or to stream.
    std::optional<HttpResponse> route(const HttpRequest& request, HttpConnection& connection);

    // The answer to a CORS preflight, allowing the methods given.
    static HttpResponse preflight(const HttpRequest& request, const QByteArray& methods);
    static void allowOrigin(const HttpRequest& request, HttpResponse& response);
    // Whether the request comes from a page of a portal's origin, which alone may move files.
    static bool isPortalPage(const TesselPortal* portal, const HttpRequest& request);

private:
    using Handler = HttpResponse (HttpRouter::*)(const HttpRequest&) const;

    // Whose pages may read an endpoint's answer.
    enum class Readers { OwnOrigin, AnyOrigin, PortalOrigins };

    struct Endpoint
    {
        const char* path;
        const char* method;
        Handler handle;
        Readers readers;
    };

    static const Endpoint* findEndpoint(const QByteArray& path);
    static HttpResponse methodNotAllowed(const Endpoint& endpoint);

    bool isOwnHost(const QByteArray& host) const;
    bool carriesDeviceId(const HttpRequest& request) const;

    HttpResponse status(const HttpRequest& request) const;
    HttpResponse browserActive(const HttpRequest& request) const;
    HttpResponse language(const HttpRequest& request) const;
    HttpResponse hello(const HttpRequest& request) const;

    TesselCore* const m_core;
    TesselPortal* const m_portal;
    const quint16 m_port;
    std::unique_ptr<TransferRoutes> m_transfers;
};

#endif // HTTPROUTER_H
