#ifndef HTTPSERVER_H
#define HTTPSERVER_H

#include <QList>
#include <QObject>
#include <QTcpServer>

#include <memory>

class HttpConnection;
class HttpRouter;
class QTcpSocket;
class TesselCore;
class TesselPortal;

// Accepts connections on loopback and hands each to an HttpConnection, with a cap on
// how many are open at once. Lives on the service's thread, as do its connections.
class HttpServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 16;

    HttpServer(TesselCore* core, TesselPortal* portal, QObject* parent = nullptr);
    ~HttpServer() override;

    // Listens on 127.0.0.1; returns the port bound, 0 when it cannot listen.
    quint16 listenOnLoopback(quint16 port);

private:
    void acceptPendingConnections();
    void accept(QTcpSocket* socket);
    // Closes a connection of another user's process before reading anything from it.
    void closeForeign(QTcpSocket* socket);
    bool dropOldestWaiting();

    TesselCore* const m_core;
    TesselPortal* const m_portal;
    QTcpServer m_listener;
    std::unique_ptr<HttpRouter> m_router;
    QList<HttpConnection*> m_open;
};

#endif // HTTPSERVER_H
