#ifndef HTTPCONNECTION_H
#define HTTPCONNECTION_H

#include "HttpRequestParser.h"

#include <QObject>
#include <QTimer>

class HttpResponse;
class HttpRouter;
class QTcpSocket;

// One accepted connection: reads a single request, answers it and closes.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the socket. The router must outlive the connection.
    HttpConnection(QTcpSocket* socket, HttpRouter& router, QObject* parent = nullptr);

    // Reads the request, which must arrive in full within RequestDeadlineMs.
    void serve();
    // Answers status at once, without reading anything.
    void refuse(HttpStatus status);
    bool awaitsRequest() const { return !m_responded; }
    // Drops the connection without an answer, to make room for a newer one.
    void drop();
    // Answers the request; once only.
    void respond(const HttpResponse& response);
    // The answer comes later (the user is choosing in a dialog): no deadline applies meanwhile.
    void hold();
    // Sends the head of an answer whose body follows in pieces and never ends, as an
    // event stream's. The connection stays open until the peer leaves or the service stops.
    void startStream(const HttpResponse& head);
    void sendStreamData(const QByteArray& data);

    static constexpr int RequestDeadlineMs = 5000;

signals:
    // The socket is closed; the connection may be deleted.
    void finished();

private:
    void readRequest();
    void onDeadline();
    void logRejection(HttpStatus status) const;

    QTcpSocket* const m_socket;
    HttpRouter& m_router;
    HttpRequestParser m_parser;
    QTimer m_deadline;
    bool m_responded = false;
};

#endif // HTTPCONNECTION_H
