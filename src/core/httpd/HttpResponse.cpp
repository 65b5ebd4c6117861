#include "HttpResponse.h"

namespace {
const QByteArray LineEnd = QByteArrayLiteral("\r\n");
const QByteArray PlainText = QByteArrayLiteral("text/plain; charset=utf-8");

QByteArray reasonPhrase(HttpStatus status)
{
    switch (status) {
    case HttpStatus::Ok:
        return QByteArrayLiteral("OK");
    case HttpStatus::Created:
        return QByteArrayLiteral("Created");
    case HttpStatus::NoContent:
        return QByteArrayLiteral("No Content");
    case HttpStatus::BadRequest:
        return QByteArrayLiteral("Bad Request");
    case HttpStatus::Forbidden:
        return QByteArrayLiteral("Forbidden");
    case HttpStatus::NotFound:
        return QByteArrayLiteral("Not Found");
    case HttpStatus::MethodNotAllowed:
        return QByteArrayLiteral("Method Not Allowed");
    case HttpStatus::RequestTimeout:
        return QByteArrayLiteral("Request Timeout");
    case HttpStatus::Conflict:
        return QByteArrayLiteral("Conflict");
    case HttpStatus::ContentTooLarge:
        return QByteArrayLiteral("Content Too Large");
    case HttpStatus::HeaderFieldsTooLarge:
        return QByteArrayLiteral("Request Header Fields Too Large");
    case HttpStatus::NotImplemented:
        return QByteArrayLiteral("Not Implemented");
    case HttpStatus::ServiceUnavailable:
        return QByteArrayLiteral("Service Unavailable");
    }
    Q_UNREACHABLE();
    return {};
}

QByteArray headerLine(const QByteArray& name, const QByteArray& value)
{
    return name + ": " + value + LineEnd;
}
} // namespace

HttpResponse::HttpResponse(HttpStatus status)
    : m_status(status)
{
}

HttpResponse HttpResponse::error(HttpStatus status)
{
    HttpResponse response(status);
    response.setBody(PlainText, reasonPhrase(status) + '\n');
    return response;
}

void HttpResponse::addHeader(const QByteArray& name, const QByteArray& value)
{
    m_headers.append({name, value});
}

void HttpResponse::setBody(const QByteArray& contentType, const QByteArray& body)
{
    addHeader(QByteArrayLiteral("Content-Type"), contentType);
    m_body = body;
}

QByteArray HttpResponse::toBytes() const
{
    QByteArray bytes = statusAndFields();
    // A 204 carries no body and, by RFC 9110, no Content-Length either.
    if (m_status != HttpStatus::NoContent) {
        bytes += headerLine(QByteArrayLiteral("Content-Length"), QByteArray::number(m_body.size()));
    }
    return bytes + LineEnd + m_body;
}

QByteArray HttpResponse::headBytes() const
{
    return statusAndFields() + LineEnd;
}

QByteArray HttpResponse::statusAndFields() const
{
    QByteArray bytes =
        "HTTP/1.1 " + QByteArray::number(static_cast<int>(m_status)) + ' ' + reasonPhrase(m_status) + LineEnd;
    for (const auto& header : m_headers) {
        bytes += headerLine(header.first, header.second);
    }
    bytes += headerLine(QByteArrayLiteral("Connection"), QByteArrayLiteral("close"));
    bytes += headerLine(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
    return bytes;
}
