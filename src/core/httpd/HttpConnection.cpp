#include "HttpConnection.h"
#include "core/CoreLogging.h"

#include "HttpResponse.h"
#include "HttpRouter.h"

#include <QTcpSocket>

namespace {
// Room for the largest request we accept, so a flood cannot grow the buffer.
const qint64 ReadBufferBytes = HttpRequestParser::MaxHeadBytes + HttpRequestParser::MaxBodyBytes;
const int FirstErrorStatus = 400;
// A stream's reader that stops reading is dropped rather than buffered for without end.
const qint64 MaxStreamBacklogBytes = 1024 * 1024;
} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, HttpRouter& router, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_router(router)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(ReadBufferBytes);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(RequestDeadlineMs);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::finished);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::onDeadline);
}

void HttpConnection::serve()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequest);
    m_deadline.start();
}

void HttpConnection::refuse(HttpStatus status)
{
    respond(HttpResponse::error(status));
}

void HttpConnection::readRequest()
{
    if (m_responded) {
        return;
    }
    switch (m_parser.feed(m_socket->readAll())) {
    case HttpRequestParser::Result::NeedMore:
        return;
    case HttpRequestParser::Result::Complete:
        if (const auto response = m_router.route(m_parser.request(), *this)) {
            respond(*response);
        }
        return;
    case HttpRequestParser::Result::Error:
        respond(HttpResponse::error(m_parser.errorStatus()));
        return;
    }
}

void HttpConnection::onDeadline()
{
    if (m_responded) {
        // The peer does not take the answer; closing must not wait for it forever.
        m_socket->abort();
        return;
    }
    respond(HttpResponse::error(HttpStatus::RequestTimeout));
}

void HttpConnection::hold()
{
    m_responded = true;
    m_deadline.stop();
}

void HttpConnection::startStream(const HttpResponse& head)
{
    m_responded = true;
    m_deadline.stop();
    m_socket->write(head.headBytes());
}

void HttpConnection::sendStreamData(const QByteArray& data)
{
    if (m_socket->bytesToWrite() > MaxStreamBacklogBytes) {
        m_socket->abort();
        return;
    }
    m_socket->write(data);
}

void HttpConnection::respond(const HttpResponse& response)
{
    m_responded = true;
    logRejection(response.status());
    m_socket->write(response.toBytes());
    m_socket->disconnectFromHost();
    // The peer gets as long to take the answer as it had to send its request.
    m_deadline.start();
}

void HttpConnection::logRejection(HttpStatus status) const
{
    const int code = static_cast<int>(status);
    if (code >= FirstErrorStatus) {
        const HttpRequest& request = m_parser.request();
        qCDebug(lcHttpd) << "TesselHttpd rejected" << request.method << request.path() << code;
    }
}

void HttpConnection::drop()
{
    m_responded = true;
    m_socket->abort();
}
