#include "PeerOwner.h"

#include <QFile>
#include <QtEndian>

#include <cstring>
#include <optional>

#include <unistd.h>

namespace {
// "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid ..."
const int LocalColumn = 1;
const int RemoteColumn = 2;
const int StateColumn = 3;
const int UidColumn = 7;
const int InodeColumn = 9;
// Only a live connection has an owner: a closed socket waiting out its last packets
// (FIN_WAIT2, TIME_WAIT, ...) is listed with uid 0 and inode 0, whoever owned it.
const QByteArray EstablishedState("01");
const QByteArray NoInode("0");
// Addresses are printed as 32-bit words in host byte order, eight hexadecimal digits each.
const int HexWordLength = 8;
const int WordBytes = 4;
const int HexBase = 16;
const int PortDigits = 4;

struct Endpoint
{
    QHostAddress address;
    quint16 port = 0;
};

struct SocketTable
{
    const char* path;
    // How the table writes the service's address: dual-stack sockets show IPv4 ends as ::ffff:a.b.c.d.
    QHostAddress (*form)(const QHostAddress& address);
};

QHostAddress ipv4Form(const QHostAddress& address)
{
    return QHostAddress(address.toIPv4Address());
}

QHostAddress ipv6Form(const QHostAddress& address)
{
    return QHostAddress(address.toIPv6Address());
}

const SocketTable SocketTables[] = {{"/proc/net/tcp", ipv4Form}, {"/proc/net/tcp6", ipv6Form}};

QByteArray tableText(const QHostAddress& address, quint16 port)
{
    quint8 bytes[sizeof(Q_IPV6ADDR)];
    int length = sizeof(bytes);
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        qToBigEndian(address.toIPv4Address(), bytes);
        length = WordBytes;
    } else {
        const Q_IPV6ADDR ipv6 = address.toIPv6Address();
        std::memcpy(bytes, ipv6.c, sizeof(bytes));
    }
    QByteArray text;
    for (int offset = 0; offset < length; offset += WordBytes) {
        quint32 word = 0;
        std::memcpy(&word, bytes + offset, WordBytes);
        text += QByteArray::number(word, HexBase).rightJustified(HexWordLength, '0');
    }
    return (text + ':' + QByteArray::number(port, HexBase).rightJustified(PortDigits, '0')).toUpper();
}

std::optional<Endpoint> parseEndpoint(const QByteArray& text)
{
    const int colon = text.indexOf(':');
    const QByteArray hex = text.left(colon);
    if (colon < 0 || (hex.size() != HexWordLength && hex.size() != int(sizeof(Q_IPV6ADDR)) * 2)) {
        return std::nullopt;
    }
    bool valid = false;
    Endpoint endpoint;
    endpoint.port = text.mid(colon + 1).toUShort(&valid, HexBase);
    if (!valid) {
        return std::nullopt;
    }
    quint8 bytes[sizeof(Q_IPV6ADDR)] = {};
    for (int offset = 0; offset < hex.size(); offset += HexWordLength) {
        const quint32 word = hex.mid(offset, HexWordLength).toUInt(&valid, HexBase);
        if (!valid) {
            return std::nullopt;
        }
        std::memcpy(bytes + offset / 2, &word, WordBytes);
    }
    endpoint.address = hex.size() == HexWordLength ? QHostAddress(qFromBigEndian<quint32>(bytes)) : QHostAddress(bytes);
    // Compared with what the service's IPv4 socket reports.
    bool mapped = false;
    const quint32 ipv4 = endpoint.address.toIPv4Address(&mapped);
    if (mapped) {
        endpoint.address = QHostAddress(ipv4);
    }
    return endpoint;
}

// The peers' ends of this user's live connections to the service listed in one table.
QVector<QPair<QHostAddress, quint16>> ownPeers(const SocketTable& table, const QHostAddress& address, quint16 port)
{
    QFile file(QString::fromLatin1(table.path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray service = tableText(table.form(address), port);
    QVector<QPair<QHostAddress, quint16>> peers;
    // Files in /proc have no size, so the table is read whole rather than line by line.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        // Most lines are other connections; only those naming the service are taken apart.
        if (!line.contains(service)) {
            continue;
        }
        const QList<QByteArray> columns = line.simplified().split(' ');
        if (columns.size() <= InodeColumn || columns.at(RemoteColumn) != service
            || columns.at(StateColumn) != EstablishedState || columns.at(InodeColumn) == NoInode) {
            continue;
        }
        bool valid = false;
        const uint uid = columns.at(UidColumn).toUInt(&valid);
        const std::optional<Endpoint> peer = parseEndpoint(columns.at(LocalColumn));
        if (valid && uid == ::geteuid() && peer) {
            peers.append(qMakePair(peer->address, peer->port));
        }
    }
    return peers;
}
} // namespace

PeerOwner::PeerOwner(const QHostAddress& serviceAddress, quint16 servicePort)
{
    for (const SocketTable& table : SocketTables) {
        m_ownPeers += ownPeers(table, serviceAddress, servicePort);
    }
}
