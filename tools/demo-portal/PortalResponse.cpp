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
        {PortalResponse::Found, QByteArrayLiteral("Found")},
        {PortalResponse::NotFound, QByteArrayLiteral("Not Found")},
        {PortalResponse::RequestTimeout, QByteArrayLiteral("Request Timeout")},
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
        m_headers.append({QByteArrayLiteral("Content-Type"), contentType});
    }
}

PortalResponse PortalResponse::error(int status)
{
    return PortalResponse(status, PlainText, reasonPhrase(status) + '\n');
}

PortalResponse PortalResponse::redirect(const QByteArray& location)
{
    PortalResponse response(Found, {}, {});
    response.m_headers.append({QByteArrayLiteral("Location"), location});
    return response;
}

QByteArray PortalResponse::toBytes() const
{
    QByteArray bytes = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reasonPhrase(m_status) + LineEnd;
    for (const auto& header : m_headers) {
        bytes += headerLine(header.first, header.second);
    }
    bytes += headerLine(QByteArrayLiteral("Content-Length"), QByteArray::number(m_body.size()));
    bytes += headerLine(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    bytes += headerLine(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return bytes + LineEnd + m_body;
}
