#include "RawHttp.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

namespace {
const int PollMs = 20;
} // namespace

namespace RawHttp {
QByteArray hostLine(quint16 port)
{
    return "Host: 127.0.0.1:" + QByteArray::number(port) + "\r\n";
}

QByteArray getRequest(quint16 port, const QByteArray& target)
{
    return "GET " + target + " HTTP/1.1\r\n" + hostLine(port) + "\r\n";
}

RawReply parse(const QByteArray& raw)
{
    RawReply reply;
    const int headEnd = raw.indexOf("\r\n\r\n");
    QList<QByteArray> lines = raw.left(headEnd).split('\n');
    const QList<QByteArray> statusLine = lines.takeFirst().trimmed().split(' ');
    if (headEnd < 0 || statusLine.size() < 3 || statusLine.at(0) != "HTTP/1.1") {
        qWarning() << "not an HTTP response:" << raw.left(200);
        return reply;
    }
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        reply.headers.insert(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
    }
    reply.body = raw.mid(headEnd + 4);
    reply.status = statusLine.at(1).toInt();
    return reply;
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    socket->waitForConnected(ReplyTimeoutMs);
    return socket;
}

RawReply readReply(QTcpSocket& socket, int timeoutMs)
{
    QByteArray raw;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        socket.waitForReadyRead(PollMs);
        raw += socket.readAll();
    }
    raw += socket.readAll();
    if (socket.state() == QAbstractSocket::ConnectedState) {
        qWarning() << "the server did not close the connection";
        return {};
    }
    return parse(raw);
}

QByteArray readServingEvents(QTcpSocket& socket, int timeoutMs)
{
    QByteArray raw;
    const bool closed = QTest::qWaitFor(
        [&] {
            raw += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        timeoutMs);
    if (!closed) {
        qWarning() << "the server did not close the connection";
    }
    return raw + socket.readAll();
}

RawReply exchange(quint16 port, const QByteArray& request, int timeoutMs)
{
    const auto socket = connectTo(port);
    if (socket->state() != QAbstractSocket::ConnectedState) {
        qWarning() << "cannot connect to port" << port;
        return {};
    }
    socket->write(request);
    return readReply(*socket, timeoutMs);
}
} // namespace RawHttp
