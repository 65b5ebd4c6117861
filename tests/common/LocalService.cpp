#include "LocalService.h"

#include "ProcessSet.h"
#include "RawHttp.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>

namespace {
const QByteArray ListeningLine = QByteArrayLiteral("TesselHttpd listening on 127.0.0.1:");
const int ReplyTimeoutMs = 60000;
} // namespace

bool LocalService::attach(QProcess* client)
{
    QByteArray seen;
    if (!waitForStandardError(client, ListeningLine, ClientStartTimeoutMs, &seen)) {
        return false;
    }
    const int at = seen.indexOf(ListeningLine) + ListeningLine.size();
    if (seen.indexOf('\n', at) < 0) {
        waitForStandardError(client, "\n", ReplyTimeoutMs, &seen);
    }
    m_port = static_cast<quint16>(seen.mid(at, seen.indexOf('\n', at) - at).trimmed().toUShort());
    m_deviceId = QJsonDocument::fromJson(send("GET", "/status").second)
                     .object()
                     .value(QStringLiteral("deviceId"))
                     .toString()
                     .toLatin1();
    return m_port != 0 && !m_deviceId.isEmpty();
}

QPair<int, QByteArray> LocalService::send(const QByteArray& method,
                                          const QByteArray& target,
                                          const QByteArray& body,
                                          const std::function<void()>& meanwhile)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    socket.waitForConnected(ReplyTimeoutMs);
    socket.write(method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(m_port)
                 + "\r\nOrigin: " + origin + "\r\nX-Device-Id: " + m_deviceId
                 + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket.waitForBytesWritten(ReplyTimeoutMs);
    if (meanwhile) {
        meanwhile();
    }
    const QByteArray raw = RawHttp::readServingEvents(socket, ReplyTimeoutMs);
    return {raw.split(' ').value(1).toInt(), raw.mid(raw.indexOf("\r\n\r\n") + 4)};
}

QJsonObject LocalService::transfer(const QString& id)
{
    for (const QJsonValue& value : QJsonDocument::fromJson(send("GET", "/transfers").second)
                                       .object()
                                       .value(QStringLiteral("transfers"))
                                       .toArray()) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id) {
            return value.toObject();
        }
    }
    return {};
}
