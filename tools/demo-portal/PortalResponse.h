#ifndef PORTALRESPONSE_H
#define PORTALRESPONSE_H

#include <QByteArray>
#include <QList>
#include <QPair>

// One answer of the demo portal. Each connection carries one request and no answer may
// be cached, so every answer says so and gives the body's length.
class PortalResponse
{
public:
    // The statuses the portal chooses itself; the request parser may add others.
    enum Status { Ok = 200, Found = 302, NotFound = 404, RequestTimeout = 408 };

    PortalResponse(int status, const QByteArray& contentType, const QByteArray& body);

    // An answer whose body is the reason in plain text.
    static PortalResponse error(int status);
    static PortalResponse redirect(const QByteArray& location);

    int status() const { return m_status; }
    QByteArray toBytes() const;

private:
    int m_status;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
};

#endif // PORTALRESPONSE_H
