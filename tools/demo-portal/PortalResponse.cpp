#include "PortalResponse.h"

#include "core/httpd/HttpStatus.h"

#include <QHash>

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QByteArray PlainText = QByteArrayLiteral("text/plain; charset=utf-8");

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases = {
        {PortalResponse::Ok, QByteArrayLiteral("OK")},
        {PortalResponse::Created, QByteArrayLiteral("Created")},
        {PortalResponse::NoContent, QByteArrayLiteral("No Content")},
        {PortalResponse::PartialContent, QByteArrayLiteral("Partial Content")},
        {PortalResponse::Found, QByteArrayLiteral("Found")},
        {PortalResponse::Unauthorized, QByteArrayLiteral("Unauthorized")},
        {PortalResponse::NotFound, QByteArrayLiteral("Not Found")},
        {PortalResponse::MethodNotAllowed, QByteArrayLiteral("Method Not Allowed")},
        {PortalResponse::RequestTimeout, QByteArrayLiteral("Request Timeout")},
        {PortalResponse::Conflict, QByteArrayLiteral("Conflict")},
        {PortalResponse::PreconditionFailed, QByteArrayLiteral("Precondition Failed")},
        {PortalResponse::UnsupportedMediaType, QByteArrayLiteral("Unsupported Media Type")},
        {PortalResponse::RangeNotSatisfiable, QByteArrayLiteral("Range Not Satisfiable")},
        {PortalResponse::Locked, QByteArrayLiteral("Locked")},
        {PortalResponse::ChecksumMismatch, QByteArrayLiteral("Checksum Mismatch")},
        {PortalResponse::InternalServerError, QByteArrayLiteral("Internal Server Error")},
        // What the request parser may turn a request away with.
        {static_cast<int>(HttpStatus::BadRequest), QByteArrayLiteral("Bad Request")},
        {static_cast<int>(HttpStatus::ContentTooLarge), QByteArrayLiteral("Content Too Large")},
        {static_cast<int>(HttpStatus::HeaderFieldsTooLarge), QByteArrayLiteral("Request Header Fields Too Large")},
        {static_cast<int>(HttpStatus::NotImplemented), QByteArrayLiteral("Not Implemented")},
    };
    // The reason phrase is optional in HTTP/1.1; an unknown status simply goes without.
    return phrases.value(status);
}

QByteArray headerLine(const QByteArray& name, const QByteArray& value)
{
    return name + ": " + value + LineEnd;
}
} // namespace

PortalResponse::PortalResponse(int status, const QByteArray& contentType, const QByteArray& body)
    : m_status(status)
    , m_body(body)
{
    if (!contentType.isEmpty()) {
        addHeader(QByteArrayLiteral("Content-Type"), contentType);
    }
}

PortalResponse PortalResponse::error(int status, const QString& detail)
{
    const QByteArray reason = detail.isEmpty() ? reasonPhrase(status) : reasonPhrase(status) + ": " + detail.toUtf8();
    return PortalResponse(status, PlainText, reason + '\n');
}

PortalResponse PortalResponse::redirect(const QByteArray& location)
{
    PortalResponse response(Found, {}, {});
    response.addHeader(QByteArrayLiteral("Location"), location);
    return response;
}

void PortalResponse::addHeader(const QByteArray& name, const QByteArray& value)
{
    m_headers.append({name, value});
}

void PortalResponse::setFileBody(const FileRange& range)
{
    m_body.clear();
    m_fileBody = range;
}

void PortalResponse::omitBody()
{
    m_omitBody = true;
}

std::optional<PortalResponse::FileRange> PortalResponse::fileBody() const
{
    return m_omitBody ? std::nullopt : m_fileBody;
}

QByteArray PortalResponse::head() const
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + LineEnd;
    for (const auto& header : m_headers) {
        bytes += headerLine(header.first, header.second);
    }
    // RFC 9110 forbids Content-Length in a 204 answer.
    if (m_status != NoContent) {
        const qint64 length = m_fileBody ? m_fileBody->length : m_body.size();
        bytes += headerLine(QByteArrayLiteral("Content-Length"), QByteArray::number(length));
    }
    bytes += headerLine(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    bytes += headerLine(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return bytes + LineEnd;
}
