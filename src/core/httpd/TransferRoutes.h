#ifndef TRANSFERROUTES_H
#define TRANSFERROUTES_H

#include "HttpRequest.h"
#include "HttpResponse.h"
#include "TransferEvents.h"

#include <functional>
#include <optional>

class HttpConnection;
class TesselCore;
class TesselPortal;
class TransferAgent;

// The page's transfer API: /transfers, its controls and events, and /pick. Every
// request needs the Origin of a portal and the device id; answers are JSON readable by
// that origin only, and tell of that origin's transfers only. Lives on the local service's thread.
class TransferRoutes
{
public:
    TransferRoutes(TesselCore* core, TesselPortal* portal);

    static bool serves(const QByteArray& path);
    // None when the connection is kept: an event stream, a dialog the user is in, or an
    // answer the agent is still working out.
    std::optional<HttpResponse> route(const HttpRequest& request, HttpConnection& connection);

private:
    std::optional<HttpResponse> dispatch(const HttpRequest& request, HttpConnection& connection);
    bool carriesDeviceId(const HttpRequest& request) const;
    std::optional<HttpResponse> create(const HttpRequest& request, HttpConnection& connection);
    std::optional<HttpResponse> list(const HttpRequest& request, HttpConnection& connection);
    std::optional<HttpResponse>
    control(const HttpRequest& request, HttpConnection& connection, const QString& id, const QByteArray& action);
    std::optional<HttpResponse> openEvents(const HttpRequest& request, HttpConnection& connection);
    std::optional<HttpResponse> pick(const HttpRequest& request, HttpConnection& connection, bool folder);
    // answerLater, for the transfer id when the asking page's origin started it.
    std::optional<HttpResponse> answerOwned(const HttpRequest& request,
                                            HttpConnection& connection,
                                            const QString& id,
                                            const std::function<HttpResponse()>& work);
    // Holds the connection and answers it with what work, run on the agent's thread, returns.
    std::optional<HttpResponse>
    answerLater(const HttpRequest& request, HttpConnection& connection, const std::function<HttpResponse()>& work);

    TesselCore* const m_core;
    TesselPortal* const m_portal;
    TransferAgent* const m_agent;
    TransferEvents m_events;
};

#endif // TRANSFERROUTES_H
