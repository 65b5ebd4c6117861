#ifndef RAWHTTP_H
#define RAWHTTP_H

#include <QByteArray>
#include <QHash>

#include <memory>

class QTcpSocket;

// A response as a client sees it; status -1 when it is no HTTP response at all.
struct RawReply
{
    int status = -1;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray header(const char* lowerCaseName) const { return headers.value(lowerCaseName); }
};

// HTTP/1.1 over a plain socket to 127.0.0.1, byte for byte as a test writes it: for servers
// that close the connection after every answer (the local service, the demo portal).
namespace RawHttp {
const int ReplyTimeoutMs = 5000;

// "Host: 127.0.0.1:<port>" with its line end.
QByteArray hostLine(quint16 port);
QByteArray getRequest(quint16 port, const QByteArray& target);
RawReply parse(const QByteArray& raw);
// A socket connected to the port, or one that is not connected when nothing listens there.
std::unique_ptr<QTcpSocket> connectTo(quint16 port);
// Reads until the server closes the connection; no reply (status -1) if it does not within the time.
RawReply readReply(QTcpSocket& socket, int timeoutMs = ReplyTimeoutMs);
// The raw bytes until the server closes the connection, while this process's own event loop
// runs: for servers, and the dialogs they ask for, that live in the test process itself.
QByteArray readServingEvents(QTcpSocket& socket, int timeoutMs = ReplyTimeoutMs);
// Sends the bytes on a new connection and reads the reply.
RawReply exchange(quint16 port, const QByteArray& request, int timeoutMs = ReplyTimeoutMs);
} // namespace RawHttp

#endif // RAWHTTP_H
