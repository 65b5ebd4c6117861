#include "TransferRoutes.h"

#include "HttpConnection.h"
#include "HttpRouter.h"

#include "core/TesselCore.h"
#include "core/TesselPortal.h"
#include "core/transfer/PageHeaders.h"
#include "core/transfer/TransferAgent.h"

#include <QJsonDocument>
#include <QPointer>
#include <QUrlQuery>

#include <functional>
#include <optional>

namespace {
const QByteArray TransfersPath = QByteArrayLiteral("/transfers");
const QByteArray EventsPath = QByteArrayLiteral("/transfers/events");
const QByteArray PickFilesPath = QByteArrayLiteral("/pick/files");
const QByteArray PickFolderPath = QByteArrayLiteral("/pick/folder");
const QByteArray OriginHeader = QByteArrayLiteral("origin");
const QByteArray DeviceIdHeader = QByteArrayLiteral("x-device-id");
const QString DeviceIdParameter = QStringLiteral("deviceId");
const QByteArray Methods = QByteArrayLiteral("GET, POST, DELETE, OPTIONS");
const QByteArray JsonType = QByteArrayLiteral("application/json");
const QList<QByteArray> Actions = {
    QByteArrayLiteral("pause"), QByteArrayLiteral("resume"), QByteArrayLiteral("cancel")};

HttpResponse json(HttpStatus status, const QJsonObject& body)
{
    HttpResponse response(status);
    response.setBody(JsonType, QJsonDocument(body).toJson(QJsonDocument::Compact));
    return response;
}

HttpResponse failure(HttpStatus status, const QString& error)
{
    return json(status, {{QStringLiteral("error"), error}});
}

HttpResponse answer(const TransferAgent::Outcome& outcome, HttpStatus success)
{
    switch (outcome.verdict) {
    case TransferAgent::Verdict::Ok:
        return success == HttpStatus::NoContent ? HttpResponse(success) : json(success, outcome.transfer);
    case TransferAgent::Verdict::Forbidden:
        return failure(HttpStatus::Forbidden, outcome.error);
    case TransferAgent::Verdict::Invalid:
        return failure(HttpStatus::BadRequest, outcome.error);
    case TransferAgent::Verdict::NotFound:
        return failure(HttpStatus::NotFound, outcome.error);
    case TransferAgent::Verdict::Conflict:
        return failure(HttpStatus::Conflict, outcome.error);
    }
    Q_UNREACHABLE();
    return failure(HttpStatus::BadRequest, outcome.error);
}

// The page's origin, once it is known to be a portal's: the form the agent compares.
QString originOf(const HttpRequest& request)
{
    return QString::fromLatin1(request.header(OriginHeader));
}

HttpResponse notFound()
{
    return failure(HttpStatus::NotFound, QStringLiteral("no such transfer"));
}

void allowPage(const HttpRequest& request, HttpResponse& response)
{
    HttpRouter::allowOrigin(request, response);
    response.addHeader(QByteArrayLiteral("Access-Control-Expose-Headers"), QByteArrayLiteral("Location"));
}

bool parseBody(const HttpRequest& request, QJsonObject& body)
{
    if (request.body.trimmed().isEmpty()) {
        return true;
    }
    const QJsonDocument document = QJsonDocument::fromJson(request.body);
    body = document.object();
    return document.isObject();
}

// The body as a JSON object (an empty body is an empty object) and the headers the page passes
// in it; the error to answer with when either is unusable.
std::optional<HttpResponse> parsePageBody(const HttpRequest& request, QJsonObject& body, HeaderList& headers)
{
    QString error;
    if (!parseBody(request, body) || !PageHeaders::parse(body.value(QStringLiteral("headers")), headers, error)) {
        return failure(HttpStatus::BadRequest,
                       error.isEmpty() ? QStringLiteral("the body is not a JSON object") : error);
    }
    return std::nullopt;
}

// The answer to a request that started a transfer.
HttpResponse created(const TransferAgent::Outcome& outcome)
{
    if (outcome.verdict != TransferAgent::Verdict::Ok) {
        return answer(outcome, HttpStatus::Created);
    }
    const QString id = outcome.transfer.value(QStringLiteral("id")).toString();
    HttpResponse response = json(HttpStatus::Created, {{QStringLiteral("id"), id}});
    response.addHeader(QByteArrayLiteral("Location"), TransfersPath + '/' + id.toLatin1());
    return response;
}
} // namespace

TransferRoutes::TransferRoutes(TesselCore* core, TesselPortal* portal)
    : m_core(core)
    , m_portal(portal)
    , m_agent(portal ? portal->transferAgent() : nullptr)
{
    if (m_agent) {
        QObject::connect(m_agent, &TransferAgent::transferChanged, &m_events, &TransferEvents::transferChanged);
        QObject::connect(m_agent, &TransferAgent::transferRemoved, &m_events, &TransferEvents::transferRemoved);
    }
}

bool TransferRoutes::serves(const QByteArray& path)
{
    return path == TransfersPath || path.startsWith(TransfersPath + '/') || path == PickFilesPath
        || path == PickFolderPath;
}

std::optional<HttpResponse> TransferRoutes::route(const HttpRequest& request, HttpConnection& connection)
{
    // Before anything else, preflights too: only a portal's pages learn that these routes exist.
    if (!HttpRouter::isPortalPage(m_portal, request)) {
        return failure(HttpStatus::Forbidden, QStringLiteral("only a portal's pages may move files"));
    }
    if (request.method == "OPTIONS") {
        return HttpRouter::preflight(request, Methods);
    }
    if (!carriesDeviceId(request)) {
        return failure(HttpStatus::Forbidden, QStringLiteral("device id needed"));
    }
    if (!m_agent) {
        return failure(HttpStatus::ServiceUnavailable, QStringLiteral("no transfer agent"));
    }
    std::optional<HttpResponse> response = dispatch(request, connection);
    if (response) {
        allowPage(request, *response);
    }
    return response;
}

std::optional<HttpResponse> TransferRoutes::dispatch(const HttpRequest& request, HttpConnection& connection)
{
    const QByteArray path = request.path();
    const QByteArray& method = request.method;
    if (path == TransfersPath) {
        return method == "POST" ? create(request, connection)
            : method == "GET"   ? list(request, connection)
                                : HttpResponse::error(HttpStatus::MethodNotAllowed);
    }
    if (path == EventsPath) {
        return method == "GET" ? openEvents(request, connection) : HttpResponse::error(HttpStatus::MethodNotAllowed);
    }
    if (path == PickFilesPath || path == PickFolderPath) {
        return method == "POST" ? pick(request, connection, path == PickFolderPath)
                                : HttpResponse::error(HttpStatus::MethodNotAllowed);
    }
    const QList<QByteArray> parts = path.mid(TransfersPath.size() + 1).split('/');
    const QString id = QString::fromLatin1(parts.value(0));
    if (parts.size() == 1 && method == "DELETE") {
        return control(request, connection, id, QByteArrayLiteral("forget"));
    }
    if (parts.size() == 2 && Actions.contains(parts.at(1))) {
        return method == "POST" ? control(request, connection, id, parts.at(1))
                                : HttpResponse::error(HttpStatus::MethodNotAllowed);
    }
    return failure(HttpStatus::NotFound, QStringLiteral("no such endpoint"));
}

bool TransferRoutes::carriesDeviceId(const HttpRequest& request) const
{
    QByteArray offered = request.header(DeviceIdHeader);
    // A browser's EventSource cannot send header fields: the stream alone takes the id in its query.
    if (offered.isEmpty() && request.path() == EventsPath) {
        const QByteArray query = request.target.mid(request.target.indexOf('?') + 1);
        offered = QUrlQuery(QString::fromLatin1(query)).queryItemValue(DeviceIdParameter).toLatin1();
    }
    const QByteArray deviceId = m_core->Get_Deviceuuid().toUtf8();
    return !deviceId.isEmpty() && offered == deviceId;
}

std::optional<HttpResponse> TransferRoutes::create(const HttpRequest& request, HttpConnection& connection)
{
    QJsonObject body;
    HeaderList headers;
    if (const std::optional<HttpResponse> refusal = parsePageBody(request, body, headers)) {
        return refusal;
    }
    const QString origin = originOf(request);
    const QJsonObject upload = body.value(QStringLiteral("upload")).toObject();
    const QJsonObject download = body.value(QStringLiteral("download")).toObject();
    if (upload.isEmpty() && download.isEmpty()) {
        return failure(HttpStatus::BadRequest, QStringLiteral("neither an upload nor a download"));
    }
    TransferAgent* const agent = m_agent;
    return answerLater(request, connection, [agent, upload, download, headers, origin] {
        return created(
            upload.isEmpty()
                ? agent->startDownload(QUrl(download.value(QStringLiteral("url")).toString(), QUrl::StrictMode),
                                       download.value(QStringLiteral("name")).toString(),
                                       download.value(QStringLiteral("folder")).toString(),
                                       headers,
                                       origin)
                : agent->startUpload(upload.value(QStringLiteral("path")).toString(),
                                     QUrl(upload.value(QStringLiteral("endpoint")).toString(), QUrl::StrictMode),
                                     upload.value(QStringLiteral("metadata")).toObject(),
                                     headers,
                                     origin));
    });
}

std::optional<HttpResponse> TransferRoutes::list(const HttpRequest& request, HttpConnection& connection)
{
    TransferAgent* const agent = m_agent;
    const QString origin = originOf(request);
    return answerLater(request, connection, [agent, origin] {
        return json(HttpStatus::Ok, {{QStringLiteral("transfers"), agent->listOf(origin)}});
    });
}

std::optional<HttpResponse> TransferRoutes::control(const HttpRequest& request,
                                                    HttpConnection& connection,
                                                    const QString& id,
                                                    const QByteArray& action)
{
    TransferAgent* const agent = m_agent;
    if (action == "pause") {
        return answerOwned(request, connection, id, [agent, id] { return answer(agent->pause(id), HttpStatus::Ok); });
    }
    if (action == "cancel") {
        return answerOwned(request, connection, id, [agent, id] { return answer(agent->cancel(id), HttpStatus::Ok); });
    }
    if (action == "forget") {
        return answerOwned(
            request, connection, id, [agent, id] { return answer(agent->forget(id), HttpStatus::NoContent); });
    }
    QJsonObject body;
    HeaderList headers;
    if (const std::optional<HttpResponse> refusal = parsePageBody(request, body, headers)) {
        return refusal;
    }
    const bool fresh = body.contains(QStringLiteral("headers"));
    return answerOwned(request, connection, id, [agent, id, fresh, headers] {
        return answer(agent->resume(id, fresh ? &headers : nullptr), HttpStatus::Ok);
    });
}

std::optional<HttpResponse> TransferRoutes::answerOwned(const HttpRequest& request,
                                                        HttpConnection& connection,
                                                        const QString& id,
                                                        const std::function<HttpResponse()>& work)
{
    // Another origin's transfer is not there for the page: the same answer as an unknown id.
    TransferAgent* const agent = m_agent;
    const QString origin = originOf(request);
    return answerLater(
        request, connection, [agent, id, origin, work] { return agent->belongsTo(id, origin) ? work() : notFound(); });
}

std::optional<HttpResponse> TransferRoutes::answerLater(const HttpRequest& request,
                                                        HttpConnection& connection,
                                                        const std::function<HttpResponse()>& work)
{
    // The agent may be busy for a while (a folder of many files, a checksum); the service must
    // go on answering meanwhile, so it holds the connection instead of waiting.
    connection.hold();
    const QPointer<HttpConnection> waiting(&connection);
    const QPointer<TransferEvents> events(&m_events);
    QMetaObject::invokeMethod(
        m_agent,
        [work, waiting, events, request] {
            HttpResponse response = work();
            allowPage(request, response);
            QMetaObject::invokeMethod(
                events.data(),
                [waiting, response] {
                    if (waiting) {
                        waiting->respond(response);
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return std::nullopt;
}

std::optional<HttpResponse> TransferRoutes::openEvents(const HttpRequest& request, HttpConnection& connection)
{
    if (m_events.isFull()) {
        return failure(HttpStatus::ServiceUnavailable, QStringLiteral("too many event streams"));
    }
    HttpResponse head(HttpStatus::Ok);
    head.addHeader(QByteArrayLiteral("Content-Type"), QByteArrayLiteral("text/event-stream"));
    allowPage(request, head);
    connection.startStream(head);
    const QString origin = originOf(request);
    m_events.reserve(&connection, origin);
    // The snapshot comes from the agent's thread; what changes after it follows it there.
    TransferAgent* const agent = m_agent;
    const QPointer<HttpConnection> stream(&connection);
    const QPointer<TransferEvents> events(&m_events);
    QMetaObject::invokeMethod(
        m_agent,
        [agent, stream, events, origin] {
            const QJsonArray transfers = agent->listOf(origin);
            QMetaObject::invokeMethod(
                events.data(),
                [stream, events, transfers] {
                    if (stream && events) {
                        events->add(stream, {{QStringLiteral("transfers"), transfers}});
                    }
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return std::nullopt;
}

std::optional<HttpResponse> TransferRoutes::pick(const HttpRequest& request, HttpConnection& connection, bool folder)
{
    QPointer<HttpConnection> waiting(&connection);
    QPointer<TransferEvents> events(&m_events);
    const HttpRequest asked = request;
    const bool shown = m_portal->requestPick(folder ? TesselPortal::PickKind::Folder : TesselPortal::PickKind::Files,
                                             originOf(request),
                                             [waiting, events, asked](const QJsonArray& items) {
                                                 // Runs on the GUI thread; the answer goes out on ours.
                                                 QMetaObject::invokeMethod(
                                                     events.data(),
                                                     [waiting, asked, items] {
                                                         if (!waiting) {
                                                             return;
                                                         }
                                                         HttpResponse response = items.isEmpty()
                                                             ? HttpResponse(HttpStatus::NoContent)
                                                             : json(HttpStatus::Ok, {{QStringLiteral("items"), items}});
                                                         allowPage(asked, response);
                                                         waiting->respond(response);
                                                     },
                                                     Qt::QueuedConnection);
                                             });
    if (!shown) {
        return failure(HttpStatus::ServiceUnavailable, QStringLiteral("no dialog can be shown"));
    }
    connection.hold();
    return std::nullopt;
}
