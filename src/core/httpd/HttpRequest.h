#ifndef HTTPREQUEST_H
#define HTTPREQUEST_H

#include <QByteArray>
#include <QHash>

// One request as the parser read it.
struct HttpRequest
{
    QByteArray method;
    // Always origin-form: starts with '/', may carry a query.
    QByteArray target;
    // Names in lower case; repeated fields are joined with ", ".
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray path() const
    {
        const int query = target.indexOf('?');
        return query < 0 ? target : target.left(query);
    }
    // The value of the field, null when the request does not carry it.
    QByteArray header(const QByteArray& lowerCaseName) const { return headers.value(lowerCaseName); }
};

#endif // HTTPREQUEST_H
