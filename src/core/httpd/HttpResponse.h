#ifndef HTTPRESPONSE_H
#define HTTPRESPONSE_H

#include "HttpStatus.h"

#include <QByteArray>
#include <QList>
#include <QPair>

// One answer of the local HTTP service. Every answer closes the connection and must
// not be cached, so those fields and the body's length are always added.
class HttpResponse
{
public:
    explicit HttpResponse(HttpStatus status);

    // An answer whose body is the reason in plain text.
    static HttpResponse error(HttpStatus status);

    HttpStatus status() const { return m_status; }
    void addHeader(const QByteArray& name, const QByteArray& value);
    void setBody(const QByteArray& contentType, const QByteArray& body);

    QByteArray toBytes() const;
    // Status line and header fields of an answer whose body is streamed until the connection closes.
    QByteArray headBytes() const;

private:
    QByteArray statusAndFields() const;

    HttpStatus m_status;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
};

#endif // HTTPRESPONSE_H
