#include "PortalExchange.h"

#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {
const QByteArray ListeningPrefix = QByteArrayLiteral("listening on ");
} // namespace

namespace PortalExchange {
QString portalProgram()
{
    return TestEnvironment::binFolder() + QStringLiteral("/norv-demo-portal");
}

QProcess* startPortal(ProcessSet& processes, const QStringList& arguments)
{
    return processes.start(portalProgram(), QStringList {QStringLiteral("--port"), QStringLiteral("0")} + arguments);
}

quint16 portOf(QProcess* portal)
{
    while (!portal->canReadLine() && portal->waitForReadyRead(StartTimeoutMs)) { }
    const QByteArray line = portal->readLine().trimmed();
    if (!line.startsWith(ListeningPrefix)) {
        qWarning() << "the portal did not start:" << line << portal->readAllStandardError();
        return 0;
    }
    return line.mid(ListeningPrefix.size()).toUShort();
}

Reply parseReply(const QByteArray& raw)
{
    Reply reply;
    const int headEnd = raw.indexOf("\r\n\r\n");
    QList<QByteArray> lines = raw.left(headEnd).split('\n');
    const QList<QByteArray> statusLine = lines.takeFirst().trimmed().split(' ');
    if (headEnd < 0 || statusLine.size() < 2 || statusLine.at(0) != "HTTP/1.1") {
        qWarning() << "not an HTTP response:" << raw.left(200);
        return reply;
    }
    for (const QByteArray& line : lines) {
        const int colon = line.indexOf(':');
        reply.headers.insert(line.left(colon).toLower(), line.mid(colon + 1).trimmed());
    }
    reply.status = statusLine.at(1).toInt();
    reply.body = raw.mid(headEnd + 4);
    return reply;
}

Reply exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(ReplyTimeoutMs)) {
        qWarning() << "cannot connect to port" << port;
        return {};
    }
    socket.write(request);
    QByteArray raw;
    // Until the portal closes, or goes quiet for too long.
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(ReplyTimeoutMs)) {
        raw += socket.readAll();
    }
    return parseReply(raw + socket.readAll());
}

Reply get(quint16 port, const QByteArray& target)
{
    return exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
}
} // namespace PortalExchange
