#include "HttpServer.h"
#include "core/CoreLogging.h"

#include "HttpConnection.h"
#include "HttpRouter.h"
#include "PeerOwner.h"

#include <QTcpSocket>

#include <algorithm>

HttpServer::HttpServer(TesselCore* core, TesselPortal* portal, QObject* parent)
    : QObject(parent)
    , m_core(core)
    , m_portal(portal)
    , m_listener(this)
{
    // Queued: QTcpServer announces each connection as it accepts it, but the socket table is
    // read once for all the connections it accepted in one go.
    connect(&m_listener, &QTcpServer::newConnection, this, &HttpServer::acceptPendingConnections, Qt::QueuedConnection);
}

// Out of line, where HttpRouter is complete.
HttpServer::~HttpServer() = default;

quint16 HttpServer::listenOnLoopback(quint16 port)
{
    if (!m_listener.listen(QHostAddress::LocalHost, port)) {
        qCWarning(lcHttpd).noquote()
            << QStringLiteral("TesselHttpd cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_listener.errorString());
        return 0;
    }
    m_router = std::make_unique<HttpRouter>(m_core, m_portal, m_listener.serverPort());
    return m_listener.serverPort();
}

void HttpServer::acceptPendingConnections()
{
    if (!m_listener.hasPendingConnections()) {
        return;
    }
    // Loopback is open to every account on the machine; the service is for its own user only.
    const PeerOwner owners(m_listener.serverAddress(), m_listener.serverPort());
    while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
        if (owners.isCurrentUser(socket->peerAddress(), socket->peerPort())) {
            accept(socket);
        } else {
            closeForeign(socket);
        }
    }
}

void HttpServer::closeForeign(QTcpSocket* socket)
{
    qCWarning(lcHttpd).noquote() << QStringLiteral(
                                        "TesselHttpd closed a connection from port %1, which is not this user's")
                                        .arg(socket->peerPort());
    socket->abort();
    socket->deleteLater();
}

void HttpServer::accept(QTcpSocket* socket)
{
    auto* connection = new HttpConnection(socket, *m_router, this);
    connect(connection, &HttpConnection::finished, connection, &QObject::deleteLater);
    if (m_open.size() >= MaxConnections && !dropOldestWaiting()) {
        connection->refuse(HttpStatus::ServiceUnavailable);
        return;
    }
    m_open.append(connection);
    connect(connection, &HttpConnection::finished, this, [this, connection] { m_open.removeOne(connection); });
    connection->serve();
}

// Peers that hold connections without sending their request must not lock out the portal.
bool HttpServer::dropOldestWaiting()
{
    const auto waiting =
        std::find_if(m_open.cbegin(), m_open.cend(), [](const HttpConnection* open) { return open->awaitsRequest(); });
    if (waiting == m_open.cend()) {
        return false;
    }
    HttpConnection* oldest = *waiting;
    m_open.removeOne(oldest);
    oldest->drop();
    return true;
}
