#include "TlsTestServer.h"

#include "TestCertificates.h"

#include <QSslSocket>

TlsTestServer::TlsTestServer(Handler onRequest)
    : m_onRequest(std::move(onRequest))
    , m_tls(TestCertificates::serverConfiguration())
{
    listen(QHostAddress::LocalHost);
}

void TlsTestServer::serveUpdateChecks() const
{
    qputenv("NORV_UPDATE_HOST", "127.0.0.1:" + QByteArray::number(serverPort()));
}

QByteArray TlsTestServer::head(int status, const QByteArray& extraFields)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: application/json\r\nConnection: close\r\n"
        + extraFields + "\r\n";
}

void TlsTestServer::answer(QSslSocket* socket, int status, const QByteArray& body, const QByteArray& extraFields)
{
    socket->write(head(status, extraFields + "Content-Length: " + QByteArray::number(body.size()) + "\r\n") + body);
    socket->disconnectFromHost();
}

void TlsTestServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setSslConfiguration(m_tls);
    connect(socket, &QSslSocket::readyRead, this, [this, socket] {
        if (socket->readAll().contains("\r\n\r\n")) {
            m_onRequest(socket);
        }
    });
    socket->startServerEncryption();
}
