#include "PortalConnection.h"

#include "PortalResponse.h"
#include "PortalSite.h"

#include <QTcpSocket>
#include <QTextStream>

namespace {
// Room for the largest request the parser accepts, so a flood cannot grow the buffer.
const qint64 ReadBufferBytes = HttpRequestParser::MaxHeadBytes + HttpRequestParser::MaxBodyBytes;
const QByteArray Unknown = QByteArrayLiteral("-");

QByteArray orUnknown(const QByteArray& field)
{
    return field.isEmpty() ? Unknown : field;
}
} // namespace

PortalConnection::PortalConnection(QTcpSocket* socket, const PortalSite& site, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_site(site)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(ReadBufferBytes);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DeadlineMs);
    connect(m_socket, &QTcpSocket::disconnected, this, &PortalConnection::finished);
    connect(&m_deadline, &QTimer::timeout, this, &PortalConnection::onDeadline);
}

void PortalConnection::serve()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &PortalConnection::readRequest);
    m_deadline.start();
}

void PortalConnection::readRequest()
{
    if (m_responded) {
        return;
    }
    switch (m_parser.feed(m_socket->readAll())) {
    case HttpRequestParser::Result::NeedMore:
        return;
    case HttpRequestParser::Result::Complete:
        respond(m_site.answer(m_parser.request()));
        return;
    case HttpRequestParser::Result::Error:
        respond(PortalResponse::error(static_cast<int>(m_parser.errorStatus())));
        return;
    }
}

void PortalConnection::onDeadline()
{
    if (!m_responded) {
        respond(PortalResponse::error(PortalResponse::RequestTimeout));
        return;
    }
    // The peer does not take the answer; closing must not wait for it forever. A TLS peer
    // that never finished its handshake ends here, too.
    m_socket->abort();
    emit finished();
}

void PortalConnection::respond(const PortalResponse& response)
{
    m_responded = true;
    log(response.status());
    m_socket->write(response.toBytes());
    m_socket->disconnectFromHost();
    // The peer gets as long to take the answer as it had to send its request.
    m_deadline.start();
}

void PortalConnection::log(int status) const
{
    const HttpRequest& request = m_parser.request();
    QTextStream(stderr) << orUnknown(request.method) << ' ' << orUnknown(request.path()) << ' ' << status << '\n';
}
