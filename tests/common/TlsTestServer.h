#ifndef TLSTESTSERVER_H
#define TLSTESTSERVER_H

#include <QSslConfiguration>
#include <QTcpServer>

#include <functional>

class QSslSocket;

// An HTTPS server of the test's own on 127.0.0.1, with the test certificate, for answers the
// demo portal does not give. Each request goes to the handler once its head has arrived.
class TlsTestServer : public QTcpServer
{
public:
    using Handler = std::function<void(QSslSocket* socket)>;

    explicit TlsTestServer(Handler onRequest);
    // The certificate and key for the connections from now on.
    void setConfiguration(const QSslConfiguration& tls) { m_tls = tls; }
    // Makes the client's update check ask this server (NORV_UPDATE_HOST).
    void serveUpdateChecks() const;

    // The head of a JSON answer that closes the connection, extraFields included.
    static QByteArray head(int status, const QByteArray& extraFields = {});
    // A whole JSON answer with its length, then the connection closed.
    static void answer(QSslSocket* socket, int status, const QByteArray& body, const QByteArray& extraFields = {});

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    Handler m_onRequest;
    QSslConfiguration m_tls;
};

#endif // TLSTESTSERVER_H
