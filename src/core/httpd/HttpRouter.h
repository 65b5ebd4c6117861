#ifndef HTTPROUTER_H
#define HTTPROUTER_H

#include "HttpRequest.h"
#include "HttpResponse.h"

#include <QtGlobal>

class TesselCore;

// Decides the answer to a parsed request and passes the portal's notifications on to
// the core, on the calling thread.
class HttpRouter
{
public:
    // port: the port the service is bound to, which the Host field must name.
    HttpRouter(TesselCore* core, quint16 port);

    HttpResponse route(const HttpRequest& request) const;

private:
    using Handler = HttpResponse (HttpRouter::*)(const HttpRequest&) const;

    struct Endpoint
    {
        const char* path;
        const char* method;
        Handler handle;
        // Whether a page of another origin may read the answer.
        bool readableCrossOrigin;
    };

    static const Endpoint* findEndpoint(const QByteArray& path);
    static HttpResponse preflight(const HttpRequest& request);
    static HttpResponse methodNotAllowed(const Endpoint& endpoint);
    static void allowOrigin(const HttpRequest& request, HttpResponse& response);

    bool isOwnHost(const QByteArray& host) const;
    bool carriesDeviceId(const HttpRequest& request) const;

    HttpResponse status(const HttpRequest& request) const;
    HttpResponse browserActive(const HttpRequest& request) const;
    HttpResponse language(const HttpRequest& request) const;

    TesselCore* const m_core;
    const quint16 m_port;
};

#endif // HTTPROUTER_H
