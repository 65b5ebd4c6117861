#include "PortalServer.h"

#include "PortalConnection.h"
#include "PortalSite.h"

#include <QSslSocket>

PortalServer::PortalServer(const PortalOptions& options, QObject* parent)
    : QTcpServer(parent)
    , m_options(options)
{
}

// Out of line, where PortalSite is complete.
PortalServer::~PortalServer() = default;

bool PortalServer::start(QString& error)
{
    if (!listen(QHostAddress::LocalHost, m_options.port)) {
        error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(m_options.port).arg(errorString());
        return false;
    }
    // Only now is the port known that the version file points downloads at.
    m_site = std::make_unique<PortalSite>(m_options, ownOrigin());
    return true;
}

void PortalServer::incomingConnection(qintptr socketDescriptor)
{
    // Without encryption started, a QSslSocket is a plain TCP socket.
    auto* socket = new QSslSocket;
    socket->setSocketDescriptor(socketDescriptor);
    if (m_options.tls) {
        socket->setSslConfiguration(*m_options.tls);
        socket->startServerEncryption();
    }
    auto* connection = new PortalConnection(socket, *m_site, m_options.uploadBytesPerSecond, this);
    connect(connection, &PortalConnection::finished, connection, &QObject::deleteLater);
    connection->serve();
}

QUrl PortalServer::ownOrigin() const
{
    QUrl origin;
    origin.setScheme(m_options.tls ? QStringLiteral("https") : QStringLiteral("http"));
    origin.setHost(serverAddress().toString());
    origin.setPort(serverPort());
    return origin;
}
