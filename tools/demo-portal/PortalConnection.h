#ifndef PORTALCONNECTION_H
#define PORTALCONNECTION_H

#include "core/httpd/HttpRequestParser.h"

#include <QObject>
#include <QTimer>

class PortalResponse;
class PortalSite;
class QTcpSocket;

// One accepted connection, plain or TLS: reads a single request, answers it, logs it
// and closes.
class PortalConnection : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the socket. The site must outlive the connection.
    PortalConnection(QTcpSocket* socket, const PortalSite& site, QObject* parent = nullptr);

    // Reads the request, which must arrive in full within DeadlineMs.
    void serve();

    static constexpr int DeadlineMs = 10000;

signals:
    // The socket is closed; the connection may be deleted.
    void finished();

private:
    void readRequest();
    void onDeadline();
    void respond(const PortalResponse& response);
    void log(int status) const;

    QTcpSocket* const m_socket;
    const PortalSite& m_site;
    HttpRequestParser m_parser;
    QTimer m_deadline;
    bool m_responded = false;
};

#endif // PORTALCONNECTION_H
