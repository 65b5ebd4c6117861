#include "PortalSite.h"

#include "DownloadAnswer.h"
#include "PortalReceiver.h"
#include "app/PortalContract.h"
#include "core/httpd/HttpRequest.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace {
const QByteArray Get = QByteArrayLiteral("GET");
const QByteArray Html = QByteArrayLiteral("text/html; charset=utf-8");
const QByteArray Json = QByteArrayLiteral("application/json");
const QByteArray Svg = QByteArrayLiteral("image/svg+xml");
// The client asks for PortalLoginPath followed by the device id: the page's path, "?", the parameter and "=".
const QByteArray LoginRequest(PortalLoginPath);
const QByteArray LoginPath = LoginRequest.left(LoginRequest.indexOf('?'));
const QString DeviceIdParameter = QString::fromLatin1(LoginRequest.mid(LoginRequest.indexOf('?') + 1).chopped(1));
const char* const MixedPath = "/mixed";
const char* const PlainPath = "/plain";
const char* const LogoPath = "/assets/logo.svg";
const char* const VersionPath = "/enterprise/release/3.0/version.json";
const char* const MovedVersionPath = "/enterprise/release/3.0/moved/version.json";
const QByteArray TusPrefix = QByteArrayLiteral("/files/");
const QByteArray FileListPath = QByteArrayLiteral("/api/files");
const QByteArray DownloadPrefix = QByteArrayLiteral("/download/");
const QByteArray AttachmentPrefix = QByteArrayLiteral("/attachment/");
// The page's session: set with the portal page, it stands for the token on the page's own links.
const QByteArray SessionCookie = QByteArrayLiteral("portal-session");
const QByteArray BearerScheme = QByteArrayLiteral("bearer ");
const int TokenBytes = 32;
const QString PortalPageFile = QStringLiteral("portal.html");
const QString PlainPageFile = QStringLiteral("plain.html");
const QString LogoFile = QStringLiteral("logo.svg");
const QString DownloadPath = QStringLiteral("/download/norv-client.deb");
const QString ReleaseNotes = QStringLiteral("Demo release announced by the stand-in portal.");

// Placeholders in the portal page, filled in per answer.
const QByteArray PortalMarkerSlot = QByteArrayLiteral("{{portal-marker}}");
const QByteArray LogoSlot = QByteArrayLiteral("{{logo}}");
const QByteArray ThirdPartyImageSlot = QByteArrayLiteral("{{third-party-image}}");
const QByteArray DeviceIdSlot = QByteArrayLiteral("{{device-id}}");
const QByteArray TokenSlot = QByteArrayLiteral("{{token}}");
const QByteArray AgentPortSlot = QByteArrayLiteral("{{agent-port}}");

// The session cookie's value among the request's cookies; empty when it has none.
QByteArray sessionOf(const HttpRequest& request)
{
    for (const QByteArray& cookie : request.header("cookie").split(';')) {
        const QByteArray pair = cookie.trimmed();
        if (pair.startsWith(SessionCookie + '=')) {
            return pair.mid(SessionCookie.size() + 1);
        }
    }
    return {};
}

QByteArray htmlEscaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

QString deviceIdOf(const HttpRequest& request)
{
    const int query = request.target.indexOf('?');
    if (query < 0) {
        return {};
    }
    return QUrlQuery(QString::fromUtf8(request.target.mid(query + 1)))
        .queryItemValue(DeviceIdParameter, QUrl::FullyDecoded);
}

QByteArray resource(const QString& name)
{
    QFile file(QStringLiteral(":/pages/") + name);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray makeVersionFile(const QString& version, const QUrl& ownOrigin)
{
    QUrl download = ownOrigin;
    download.setPath(DownloadPath);
    // The client reads the entry of its platform family: "win32" holds the version and download address.
    const QJsonObject entry {
        {QStringLiteral("version"), version},
        {QStringLiteral("downloadUrl"), download.toString()},
        {QStringLiteral("notes"), ReleaseNotes},
    };
    return QJsonDocument(QJsonObject {{QStringLiteral("win32"), entry}}).toJson();
}

QByteArray makeToken()
{
    QByteArray bytes(TokenBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toHex();
}

QByteArray makeThirdPartyImage(const QUrl& origin)
{
    if (origin.isEmpty()) {
        return {};
    }
    QUrl image = origin;
    image.setPath(QString::fromLatin1(LogoPath));
    return "<img id=\"third-party-image\" src=\"" + htmlEscaped(image.toString(QUrl::FullyEncoded))
        + "\" alt=\"Partner logo\" onload=\"console.log('third-party-image loaded')\""
          " onerror=\"console.log('third-party-image failed')\">";
}
} // namespace

PortalSite::PortalSite(const PortalOptions& options, const QUrl& ownOrigin)
    : m_versionFile(options.versionBody ? *options.versionBody : makeVersionFile(options.version, ownOrigin))
    , m_redirectVersion(options.redirectVersion)
    , m_thirdPartyImage(makeThirdPartyImage(options.thirdPartyOrigin))
    , m_agentPort(QByteArray::number(options.agentPort))
    , m_token(makeToken())
    , m_storage(options.dataFolder)
    , m_tus(m_storage)
{
}

std::unique_ptr<PortalReceiver> PortalSite::receive(const HttpRequest& request, qint64 bodyLength)
{
    const QByteArray path = request.path();
    const bool isFileService = path.startsWith(TusPrefix) || path == FileListPath || path.startsWith(DownloadPrefix)
        || path.startsWith(AttachmentPrefix);
    if (!isFileService) {
        return std::make_unique<PortalReceiver>(answer(request));
    }
    if (!isAuthorised(request)) {
        PortalResponse refusal = PortalResponse::error(PortalResponse::Unauthorized);
        refusal.addHeader(QByteArrayLiteral("WWW-Authenticate"),
                          QByteArrayLiteral("Bearer realm=\"norv-demo-portal\""));
        return std::make_unique<PortalReceiver>(refusal);
    }
    if (path.startsWith(TusPrefix)) {
        return m_tus.receive(request, bodyLength);
    }
    const bool reads = request.method == Get || request.method == "HEAD";
    if (!reads) {
        return std::make_unique<PortalReceiver>(PortalResponse::error(PortalResponse::MethodNotAllowed));
    }
    if (path.startsWith(AttachmentPrefix)) {
        return std::make_unique<PortalReceiver>(attachment(request));
    }
    return std::make_unique<PortalReceiver>(path == FileListPath ? fileList() : download(request, DownloadPrefix));
}

bool PortalSite::isAuthorised(const HttpRequest& request) const
{
    if (request.path().startsWith(AttachmentPrefix)) {
        return sessionOf(request) == m_token;
    }
    const QByteArray field = request.header("authorization");
    return field.size() == BearerScheme.size() + m_token.size() && field.toLower().startsWith(BearerScheme)
        && field.mid(BearerScheme.size()) == m_token;
}

PortalResponse PortalSite::fileList()
{
    return PortalResponse(
        PortalResponse::Ok,
        Json,
        QJsonDocument(QJsonObject {{QStringLiteral("files"), m_storage.list()}}).toJson(QJsonDocument::Compact));
}

PortalResponse PortalSite::download(const HttpRequest& request, const QByteArray& prefix)
{
    const QString relativePath = QUrl::fromPercentEncoding(request.path().mid(prefix.size()));
    const QString path = m_storage.resolve(relativePath);
    return path.isEmpty() ? PortalResponse::error(PortalResponse::NotFound) : DownloadAnswer::of(request, path);
}

PortalResponse PortalSite::attachment(const HttpRequest& request)
{
    PortalResponse response = download(request, AttachmentPrefix);
    const QByteArray name = request.path().mid(request.path().lastIndexOf('/') + 1);
    // The name stays percent-encoded, as RFC 6266 writes any name.
    response.addHeader(QByteArrayLiteral("Content-Disposition"), "attachment; filename*=UTF-8''" + name);
    return response;
}

PortalResponse PortalSite::answer(const HttpRequest& request) const
{
    const Handler handle = request.method == Get ? findHandler(request.path()) : nullptr;
    return handle ? (this->*handle)(request) : PortalResponse::error(PortalResponse::NotFound);
}

PortalSite::Handler PortalSite::findHandler(const QByteArray& path)
{
    static const Route Routes[] = {
        {LoginPath.constData(), &PortalSite::loginPage},
        {MixedPath, &PortalSite::mixedPage},
        {PlainPath, &PortalSite::plainPage},
        {LogoPath, &PortalSite::logo},
        {VersionPath, &PortalSite::versionFile},
        {MovedVersionPath, &PortalSite::movedVersionFile},
    };
    for (const Route& route : Routes) {
        if (path == route.path) {
            return route.handle;
        }
    }
    return nullptr;
}

PortalResponse PortalSite::loginPage(const HttpRequest& request) const
{
    return portalPage(request, {});
}

PortalResponse PortalSite::mixedPage(const HttpRequest& request) const
{
    return portalPage(request, m_thirdPartyImage);
}

PortalResponse PortalSite::plainPage(const HttpRequest&) const
{
    return PortalResponse(PortalResponse::Ok, Html, resource(PlainPageFile));
}

PortalResponse PortalSite::logo(const HttpRequest&) const
{
    return PortalResponse(PortalResponse::Ok, Svg, resource(LogoFile));
}

PortalResponse PortalSite::versionFile(const HttpRequest& request) const
{
    if (m_redirectVersion) {
        return PortalResponse::redirect(MovedVersionPath);
    }
    return movedVersionFile(request);
}

PortalResponse PortalSite::movedVersionFile(const HttpRequest&) const
{
    return PortalResponse(PortalResponse::Ok, Json, m_versionFile);
}

PortalResponse PortalSite::portalPage(const HttpRequest& request, const QByteArray& thirdPartyImage) const
{
    QByteArray page = resource(PortalPageFile);
    page.replace(PortalMarkerSlot, PortalMarker);
    page.replace(LogoSlot, resource(LogoFile));
    page.replace(ThirdPartyImageSlot, thirdPartyImage);
    page.replace(TokenSlot, m_token);
    page.replace(AgentPortSlot, m_agentPort);
    // Last, so that nothing the request brings is searched for placeholders again.
    page.replace(DeviceIdSlot, htmlEscaped(deviceIdOf(request)));
    PortalResponse response(PortalResponse::Ok, Html, page);
    response.addHeader(QByteArrayLiteral("Set-Cookie"),
                       SessionCookie + '=' + m_token + "; Path=/; HttpOnly; SameSite=Strict");
    return response;
}
