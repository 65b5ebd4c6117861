#include "FakeTransferAgent.h"

#include "core/httpd/HttpRequestParser.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QTcpSocket>

#include <memory>

namespace {
const QByteArray EventsPath = QByteArrayLiteral("/transfers/events");
const QByteArray HelloPath = QByteArrayLiteral("/hello");

QByteArray head(int status, const QByteArray& origin, const QByteArray& contentType)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nAccess-Control-Allow-Origin: " + origin
        + "\r\nContent-Type: " + contentType + "\r\n";
}
} // namespace

FakeTransferAgent::FakeTransferAgent(const QByteArray& deviceId, QObject* parent)
    : QObject(parent)
    , m_deviceId(deviceId)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeTransferAgent::accept);
}

bool FakeTransferAgent::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

void FakeTransferAgent::setAnswer(const QByteArray& methodAndPath, int status, const QJsonObject& body)
{
    m_answers.insert(methodAndPath, {status, body});
}

void FakeTransferAgent::sendEvent(const QByteArray& type, const QJsonObject& data)
{
    const QByteArray event =
        "event: " + type + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
    for (QTcpSocket* stream : qAsConst(m_streams)) {
        stream->write(event);
    }
}

void FakeTransferAgent::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto parser = std::make_shared<HttpRequestParser>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::destroyed, this, [this, socket] { m_streams.removeAll(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, parser] {
            if (parser->feed(socket->readAll()) != HttpRequestParser::Result::Complete) {
                return;
            }
            const HttpRequest& request = parser->request();
            serve(socket,
                  request.header("origin"),
                  {request.method, request.target, request.headers, QJsonDocument::fromJson(request.body).object()});
        });
    }
}

void FakeTransferAgent::serve(QTcpSocket* socket, const QByteArray& origin, const Call& call)
{
    if (call.method == "OPTIONS") {
        socket->write(head(204, origin, "text/plain")
                      + "Access-Control-Allow-Methods: GET, POST, DELETE\r\n"
                        "Access-Control-Allow-Headers: Content-Type, X-Device-Id\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (call.path == HelloPath) {
        const QByteArray nonce = call.body.value(QStringLiteral("nonce")).toString().toUtf8();
        setAnswer("POST " + HelloPath,
                  200,
                  {{QStringLiteral("hmac"),
                    QString::fromLatin1(
                        QMessageAuthenticationCode::hash(nonce, m_deviceId, QCryptographicHash::Sha256).toHex())}});
    } else {
        m_calls.append(call);
    }
    if (call.path.startsWith(EventsPath)) {
        socket->write(head(200, origin, "text/event-stream") + "Cache-Control: no-store\r\n\r\n");
        m_streams.append(socket);
        return;
    }
    const Answer answer = m_answers.value(call.method + ' ' + call.path, {404, {}});
    const QByteArray body = answer.status == 204 ? QByteArray() : QJsonDocument(answer.body).toJson();
    socket->write(head(answer.status, origin, "application/json") + "Content-Length: " + QByteArray::number(body.size())
                  + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}
