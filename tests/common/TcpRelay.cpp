#include "TcpRelay.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
// Read from the client in pieces of this size, and never more than this waits for the server,
// so the client feels the relay's pace and what is counted is what the server got.
const qint64 PieceBytes = 16 * 1024;
const qint64 MaxQueuedBytes = 4 * PieceBytes;
const int TrickleTickMs = 20;
const int MsPerSecond = 1000;

// One client connection and its connection to the server.
class Link : public QObject
{
public:
    Link(QTcpSocket* client,
         quint16 serverPort,
         const RelayFaults& faults,
         std::atomic<qint64>& bytesToServer,
         std::atomic<int>& connectionsCut)
        : QObject(client)
        , m_client(client)
        , m_server(new QTcpSocket(this))
        , m_faults(faults)
        , m_bytesToServer(bytesToServer)
        , m_connectionsCut(connectionsCut)
    {
        m_client->setReadBufferSize(PieceBytes);
        connect(m_client, &QTcpSocket::readyRead, this, &Link::pump);
        connect(m_client, &QTcpSocket::disconnected, this, &Link::clientGone);
        connect(m_server, &QTcpSocket::connected, this, &Link::pump);
        connect(m_server, &QTcpSocket::bytesWritten, this, &Link::written);
        connect(m_server, &QTcpSocket::readyRead, this, &Link::answer);
        connect(m_server, &QTcpSocket::disconnected, this, &Link::serverGone);
        connect(m_server, &QTcpSocket::errorOccurred, this, &Link::serverGone);
        if (m_faults.bytesPerSecond > 0) {
            auto* tick = new QTimer(this);
            connect(tick, &QTimer::timeout, this, [this] {
                m_allowance = m_faults.bytesPerSecond * TrickleTickMs / MsPerSecond;
                pump();
            });
            tick->start(TrickleTickMs);
        }
        m_server->connectToHost(QHostAddress::LocalHost, serverPort);
    }

private:
    // Client to server, as far as the faults allow.
    void pump()
    {
        if (!m_client->isOpen() || m_server->state() != QAbstractSocket::ConnectedState) {
            return;
        }
        for (;;) {
            qint64 room = MaxQueuedBytes - m_server->bytesToWrite();
            if (m_faults.bytesPerSecond > 0) {
                room = qMin(room, m_allowance);
            }
            if (m_faults.cutAfterBytes > 0) {
                room = qMin(room, m_faults.cutAfterBytes - m_queued);
            }
            const QByteArray piece = room > 0 ? m_client->read(qMin(room, PieceBytes)) : QByteArray();
            if (piece.isEmpty()) {
                return;
            }
            m_allowance -= piece.size();
            m_queued += piece.size();
            m_server->write(piece);
        }
    }

    // Server to client, untouched.
    void answer()
    {
        if (m_server->isOpen() && m_client->isOpen()) {
            m_client->write(m_server->readAll());
        }
    }

    void written(qint64 bytes)
    {
        m_bytesToServer += bytes;
        m_written += bytes;
        if (m_faults.cutAfterBytes > 0 && m_written >= m_faults.cutAfterBytes) {
            ++m_connectionsCut;
            m_server->abort();
            m_client->abort();
            m_client->deleteLater();
            return;
        }
        pump();
    }

    void clientGone()
    {
        m_server->disconnectFromHost();
        m_client->deleteLater();
    }

    void serverGone()
    {
        answer();
        m_client->disconnectFromHost();
    }

    QTcpSocket* const m_client;
    QTcpSocket* const m_server;
    const RelayFaults m_faults;
    std::atomic<qint64>& m_bytesToServer;
    std::atomic<int>& m_connectionsCut;
    qint64 m_allowance = 0;
    qint64 m_queued = 0;
    qint64 m_written = 0;
};
} // namespace

TcpRelay::~TcpRelay()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    }
}

bool TcpRelay::start(quint16 serverPort, RelayFaults faults)
{
    m_serverPort = serverPort;
    m_faults = faults;
    auto* server = new QTcpServer;
    server->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, server, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        server,
        [this, server] {
            if (server->listen(QHostAddress::LocalHost)) {
                m_port = server->serverPort();
                QObject::connect(server, &QTcpServer::newConnection, server, [this, server] { accept(server); });
            }
        },
        Qt::BlockingQueuedConnection);
    return m_port != 0;
}

QString TcpRelay::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void TcpRelay::accept(QTcpServer* server)
{
    while (QTcpSocket* client = server->nextPendingConnection()) {
        new Link(client, m_serverPort, m_faults, m_bytesToServer, m_connectionsCut);
    }
}
