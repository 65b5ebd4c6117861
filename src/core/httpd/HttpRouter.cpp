#include "HttpRouter.h"

#include "TransferRoutes.h"

#include "core/TesselCore.h"
#include "core/TesselPortal.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>

namespace {
const QByteArray Options = QByteArrayLiteral("OPTIONS");
const QByteArray HostHeader = QByteArrayLiteral("host");
const QByteArray OriginHeader = QByteArrayLiteral("origin");
const QByteArray DeviceIdHeader = QByteArrayLiteral("x-device-id");
const QList<QByteArray> OwnHostNames = {QByteArrayLiteral("127.0.0.1"), QByteArrayLiteral("localhost")};
const QList<QByteArray> LanguageChoices = {QByteArrayLiteral("0"), QByteArrayLiteral("1")};
const QByteArray AnyOrigin = QByteArrayLiteral("*");
const QByteArray PreflightMethods = QByteArrayLiteral("GET, POST, OPTIONS");
const QByteArray PreflightHeaders = QByteArrayLiteral("X-Device-Id, Content-Type");
const QByteArray PreflightMaxAgeSeconds = QByteArrayLiteral("600");
// A page's nonce for /hello: long enough to be unguessable, short enough to cost nothing.
const int MinNonceBytes = 16;
const int MaxNonceBytes = 256;
} // namespace

HttpRouter::HttpRouter(TesselCore* core, TesselPortal* portal, quint16 port)
    : m_core(core)
    , m_portal(portal)
    , m_port(port)
    , m_transfers(std::make_unique<TransferRoutes>(core, portal))
{
}

// Out of line, where TransferRoutes is complete.
HttpRouter::~HttpRouter() = default;

std::optional<HttpResponse> HttpRouter::route(const HttpRequest& request, HttpConnection& connection)
{
    // First of all: after DNS rebinding, a hostile page reaches us under its own host name.
    if (!isOwnHost(request.header(HostHeader))) {
        return HttpResponse::error(HttpStatus::Forbidden);
    }
    if (TransferRoutes::serves(request.path())) {
        return m_transfers->route(request, connection);
    }
    const Endpoint* endpoint = findEndpoint(request.path());
    if (!endpoint) {
        return HttpResponse::error(HttpStatus::NotFound);
    }
    if (endpoint->readers == Readers::PortalOrigins && !isPortalPage(m_portal, request)) {
        return HttpResponse::error(HttpStatus::Forbidden);
    }
    if (request.method == Options) {
        return preflight(request, PreflightMethods);
    }
    if (request.method != endpoint->method) {
        return methodNotAllowed(*endpoint);
    }
    HttpResponse response = (this->*endpoint->handle)(request);
    if (endpoint->readers != Readers::OwnOrigin) {
        allowOrigin(request, response);
    }
    return response;
}

const HttpRouter::Endpoint* HttpRouter::findEndpoint(const QByteArray& path)
{
    // Any page in the user's browser can send requests to loopback. The device id guards the
    // POST endpoints, so the answer of /status, which reveals it, must stay unreadable to
    // other origins: it never carries Access-Control-Allow-Origin.
    static const Endpoint Endpoints[] = {
        {"/status", "GET", &HttpRouter::status, Readers::OwnOrigin},
        {"/browser-active", "POST", &HttpRouter::browserActive, Readers::AnyOrigin},
        {"/language", "POST", &HttpRouter::language, Readers::AnyOrigin},
        {"/hello", "POST", &HttpRouter::hello, Readers::PortalOrigins},
    };
    for (const Endpoint& endpoint : Endpoints) {
        if (path == endpoint.path) {
            return &endpoint;
        }
    }
    return nullptr;
}

HttpResponse HttpRouter::preflight(const HttpRequest& request, const QByteArray& methods)
{
    HttpResponse response(HttpStatus::NoContent);
    allowOrigin(request, response);
    response.addHeader(QByteArrayLiteral("Access-Control-Allow-Methods"), methods);
    response.addHeader(QByteArrayLiteral("Access-Control-Allow-Headers"), PreflightHeaders);
    // Chromium asks this before it lets a public page reach a loopback address.
    response.addHeader(QByteArrayLiteral("Access-Control-Allow-Private-Network"), QByteArrayLiteral("true"));
    response.addHeader(QByteArrayLiteral("Access-Control-Max-Age"), PreflightMaxAgeSeconds);
    return response;
}

HttpResponse HttpRouter::methodNotAllowed(const Endpoint& endpoint)
{
    HttpResponse response = HttpResponse::error(HttpStatus::MethodNotAllowed);
    response.addHeader(QByteArrayLiteral("Allow"), endpoint.method + QByteArrayLiteral(", ") + Options);
    return response;
}

void HttpRouter::allowOrigin(const HttpRequest& request, HttpResponse& response)
{
    const QByteArray origin = request.header(OriginHeader);
    response.addHeader(QByteArrayLiteral("Access-Control-Allow-Origin"), origin.isEmpty() ? AnyOrigin : origin);
    response.addHeader(QByteArrayLiteral("Vary"), QByteArrayLiteral("Origin"));
}

bool HttpRouter::isOwnHost(const QByteArray& host) const
{
    const QByteArray portSuffix = ':' + QByteArray::number(m_port);
    return host.endsWith(portSuffix) && OwnHostNames.contains(host.chopped(portSuffix.size()).toLower());
}

bool HttpRouter::isPortalPage(const TesselPortal* portal, const HttpRequest& request)
{
    return portal && portal->portalOrigins().contains(request.header(OriginHeader));
}

bool HttpRouter::carriesDeviceId(const HttpRequest& request) const
{
    const QByteArray deviceId = m_core->Get_Deviceuuid().toUtf8();
    return !deviceId.isEmpty() && request.header(DeviceIdHeader) == deviceId;
}

HttpResponse HttpRouter::status(const HttpRequest&) const
{
    const QJsonObject status {
        {QStringLiteral("version"), TesselCore::libraryVersion()},
        {QStringLiteral("deviceId"), m_core->Get_Deviceuuid()},
    };
    HttpResponse response(HttpStatus::Ok);
    response.setBody(QByteArrayLiteral("application/json"), QJsonDocument(status).toJson(QJsonDocument::Compact));
    return response;
}

HttpResponse HttpRouter::browserActive(const HttpRequest& request) const
{
    if (!carriesDeviceId(request)) {
        return HttpResponse::error(HttpStatus::Forbidden);
    }
    m_core->notifyBrowserActive();
    return HttpResponse(HttpStatus::NoContent);
}

HttpResponse HttpRouter::language(const HttpRequest& request) const
{
    if (!carriesDeviceId(request)) {
        return HttpResponse::error(HttpStatus::Forbidden);
    }
    const QByteArray choice = request.body.trimmed();
    if (!LanguageChoices.contains(choice)) {
        return HttpResponse::error(HttpStatus::BadRequest);
    }
    m_core->notifyLanguageChanged(choice.toInt());
    return HttpResponse(HttpStatus::NoContent);
}

HttpResponse HttpRouter::hello(const HttpRequest& request) const
{
    // Proves that whoever answers on this port knows the device id: another program may hold
    // the port while the client is not running, and the page must not hand it any credential.
    const QByteArray nonce =
        QJsonDocument::fromJson(request.body).object().value(QStringLiteral("nonce")).toString().toUtf8();
    if (nonce.size() < MinNonceBytes || nonce.size() > MaxNonceBytes) {
        return HttpResponse::error(HttpStatus::BadRequest);
    }
    const QByteArray mac =
        QMessageAuthenticationCode::hash(nonce, m_core->Get_Deviceuuid().toUtf8(), QCryptographicHash::Sha256);
    HttpResponse response(HttpStatus::Ok);
    response.setBody(QByteArrayLiteral("application/json"),
                     QJsonDocument(QJsonObject {{QStringLiteral("hmac"), QString::fromLatin1(mac.toHex())}})
                         .toJson(QJsonDocument::Compact));
    return response;
}
