#include "PortalConnection.h"

#include "PortalReceiver.h"
#include "PortalResponse.h"
#include "PortalSite.h"

#include <QSslSocket>
#include <QTextStream>

namespace {
// Room for the largest head the parser accepts, so a flood cannot grow the buffer.
const qint64 HeadBufferBytes = HttpRequestParser::MaxHeadBytes + HttpRequestParser::MaxBodyBytes;
// Bodies move in pieces of this size; the buffers hold at most two of them.
const qint64 BodyChunkBytes = 1024 * 1024;
const QByteArray Head = QByteArrayLiteral("HEAD");
const int PaceTicksPerSecond = 10;
const QByteArray Unknown = QByteArrayLiteral("-");
// Logged instead of a status when the peer leaves or stalls in mid-body.
const QByteArray Interrupted = QByteArrayLiteral("interrupted");

QByteArray orUnknown(const QByteArray& field)
{
    return field.isEmpty() ? Unknown : field;
}
} // namespace

PortalConnection::PortalConnection(QTcpSocket* socket, PortalSite& site, qint64 bodyBytesPerSecond, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_site(site)
    , m_bytesPerTick(bodyBytesPerSecond / PaceTicksPerSecond)
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(HeadBufferBytes);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DeadlineMs);
    connect(m_socket, &QTcpSocket::disconnected, this, &PortalConnection::onDisconnected);
    connect(&m_deadline, &QTimer::timeout, this, &PortalConnection::onDeadline);
    m_pace.setInterval(1000 / PaceTicksPerSecond);
    connect(&m_pace, &QTimer::timeout, this, &PortalConnection::onPaceTick);
}

// Out of line, where PortalReceiver is complete.
PortalConnection::~PortalConnection() = default;

void PortalConnection::serve()
{
    connect(m_socket, &QTcpSocket::readyRead, this, &PortalConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &PortalConnection::sendFile);
    if (auto* tls = qobject_cast<QSslSocket*>(m_socket)) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, &PortalConnection::sendFile);
    }
    m_deadline.start();
}

void PortalConnection::onReadyRead()
{
    if (m_stage == Stage::Head) {
        readHead();
    } else if (m_stage == Stage::Body && m_bytesPerTick == 0) {
        takeBody(m_socket->readAll());
    } else if (m_stage == Stage::Body) {
        const QByteArray bytes = m_socket->read(m_allowance);
        m_allowance -= bytes.size();
        takeBody(bytes);
    }
}

void PortalConnection::onPaceTick()
{
    m_allowance = m_bytesPerTick;
    onReadyRead();
}

void PortalConnection::readHead()
{
    switch (m_parser.feed(m_socket->readAll())) {
    case HttpRequestParser::Result::NeedMore:
        return;
    case HttpRequestParser::Result::Complete:
        m_receiver = m_site.receive(m_parser.request(), m_parser.bodyLength());
        m_bodyLeft = m_parser.bodyLength();
        m_stage = Stage::Body;
        if (m_bytesPerTick > 0) {
            // A small buffer, so that the kernel holds the peer back rather than this process.
            m_socket->setReadBufferSize(m_bytesPerTick);
            m_pace.start();
        } else {
            m_socket->setReadBufferSize(BodyChunkBytes);
        }
        takeBody(m_parser.takeBodyStart());
        return;
    case HttpRequestParser::Result::Error:
        respond(PortalResponse::error(static_cast<int>(m_parser.errorStatus())));
        return;
    }
}

void PortalConnection::takeBody(const QByteArray& bytes)
{
    // Anything after the body is ignored: a connection carries one request only.
    const QByteArray piece = bytes.left(static_cast<int>(qMin<qint64>(bytes.size(), m_bodyLeft)));
    if (!piece.isEmpty()) {
        m_receiver->take(piece);
        m_bodyLeft -= piece.size();
        m_deadline.start();
    }
    if (m_bodyLeft == 0) {
        respond(m_receiver->finish());
    }
}

void PortalConnection::onDisconnected()
{
    if (m_stage == Stage::Body) {
        // What arrived before the end still counts.
        takeBody(m_socket->readAll());
    }
    if (m_stage == Stage::Body) {
        abandonBody();
    }
    emit finished();
}

void PortalConnection::onDeadline()
{
    if (m_stage == Stage::Head) {
        respond(PortalResponse::error(PortalResponse::RequestTimeout));
        return;
    }
    if (m_stage == Stage::Body) {
        abandonBody();
    }
    // The peer does not send or take anything; closing must not wait for it forever.
    // A TLS peer that never finished its handshake ends here, too.
    m_stage = Stage::Answer;
    m_socket->abort();
    emit finished();
}

void PortalConnection::abandonBody()
{
    m_receiver->abandon();
    m_stage = Stage::Answer;
    m_pace.stop();
    log(Interrupted);
}

void PortalConnection::respond(const PortalResponse& response)
{
    m_stage = Stage::Answer;
    m_pace.stop();
    PortalResponse answer = response;
    if (m_parser.request().method == Head) {
        answer.omitBody();
    }
    log(QByteArray::number(answer.status()));
    m_socket->write(answer.head() + answer.body());
    if (const auto range = answer.fileBody()) {
        m_file.setFileName(range->path);
        if (!m_file.open(QIODevice::ReadOnly) || !m_file.seek(range->offset)) {
            QTextStream(stderr) << "cannot read " << range->path << ": " << m_file.errorString() << '\n';
            m_socket->abort();
            return;
        }
        m_fileLeft = range->length;
    }
    // The peer gets as long to take each piece of the answer as it had for its request.
    m_deadline.start();
    sendFile();
}

void PortalConnection::sendFile()
{
    if (m_stage != Stage::Answer) {
        return;
    }
    m_deadline.start();
    while (m_fileLeft > 0 && bytesPending() < BodyChunkBytes) {
        const QByteArray piece = m_file.read(qMin(m_fileLeft, BodyChunkBytes));
        if (piece.isEmpty()) {
            // The file shrank under us: the promised length can no longer be kept.
            QTextStream(stderr) << "cannot read " << m_file.fileName() << ": " << m_file.errorString() << '\n';
            m_socket->abort();
            return;
        }
        m_socket->write(piece);
        m_fileLeft -= piece.size();
    }
    if (m_fileLeft == 0) {
        m_file.close();
        m_socket->disconnectFromHost();
    }
}

qint64 PortalConnection::bytesPending() const
{
    // With TLS, written bytes wait encrypted in a buffer of their own.
    const auto* tls = qobject_cast<const QSslSocket*>(m_socket);
    return m_socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0);
}

void PortalConnection::log(const QByteArray& outcome) const
{
    const HttpRequest& request = m_parser.request();
    QTextStream(stderr) << orUnknown(request.method) << ' ' << orUnknown(request.path()) << ' ' << outcome << '\n';
}
