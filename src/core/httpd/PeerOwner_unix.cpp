#include "PeerOwner.h"

#include <QFile>
#include <QScopeGuard>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <optional>

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
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
// The kernel answers a lookup at once; this only bounds a kernel that never does.
const int KernelAnswerSeconds = 1;
// One inet_diag_msg and its attributes; the exact lookup asks for none.
const int KernelAnswerBytes = 1024;

enum class KernelAnswer { Own, NotOwn, Unavailable };

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

// An address as inet_diag compares it: in network byte order, IPv4 in the first word.
void toDiagAddress(const QHostAddress& address, __be32 (&diag)[4])
{
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        diag[0] = qToBigEndian(address.toIPv4Address());
        return;
    }
    const Q_IPV6ADDR ipv6 = address.toIPv6Address();
    std::memcpy(diag, ipv6.c, sizeof(diag));
}

// Asks the kernel (netlink sock_diag) for the peer's socket by its exact four-tuple: the one
// whose local end is peer:peerPort and whose remote end is the service. Costs one lookup
// however many sockets the system holds.
KernelAnswer askKernel(const QHostAddress& peer, quint16 peerPort, const QHostAddress& service, quint16 servicePort)
{
    const int diag = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0) {
        return KernelAnswer::Unavailable;
    }
    const auto closeDiag = qScopeGuard([diag] { ::close(diag); });
    const timeval timeout {KernelAnswerSeconds, 0};
    ::setsockopt(diag, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));

    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 body;
    } request {};
    request.header.nlmsg_len = sizeof(request);
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.body.sdiag_family = peer.protocol() == QAbstractSocket::IPv4Protocol ? AF_INET : AF_INET6;
    request.body.sdiag_protocol = IPPROTO_TCP;
    request.body.idiag_states = 1U << TCP_ESTABLISHED;
    request.body.id.idiag_sport = qToBigEndian(peerPort);
    request.body.id.idiag_dport = qToBigEndian(servicePort);
    toDiagAddress(peer, request.body.id.idiag_src);
    toDiagAddress(service, request.body.id.idiag_dst);
    request.body.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.body.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(diag, &request, sizeof(request), 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof(kernel))
        != ssize_t(sizeof(request))) {
        return KernelAnswer::Unavailable;
    }

    alignas(nlmsghdr) char answer[KernelAnswerBytes];
    const ssize_t received = ::recv(diag, answer, sizeof(answer), 0);
    const auto* header = reinterpret_cast<const nlmsghdr*>(answer);
    if (received < ssize_t(sizeof(nlmsghdr)) || !NLMSG_OK(header, size_t(received))) {
        return KernelAnswer::Unavailable;
    }
    if (header->nlmsg_type == NLMSG_ERROR) {
        // No such socket: it closed, or the four-tuple is not a connection to the service.
        const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(header));
        return error->error == -ENOENT ? KernelAnswer::NotOwn : KernelAnswer::Unavailable;
    }
    if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) {
        return KernelAnswer::Unavailable;
    }
    const auto* socket = static_cast<const inet_diag_msg*>(NLMSG_DATA(header));
    // The exact lookup may find a socket in another state: only a live one has an owner.
    const bool live = socket->idiag_state == TCP_ESTABLISHED && socket->idiag_inode != 0;
    const bool thatSocket =
        qFromBigEndian(socket->id.idiag_sport) == peerPort && qFromBigEndian(socket->id.idiag_dport) == servicePort;
    return live && thatSocket && socket->idiag_uid == ::geteuid() ? KernelAnswer::Own : KernelAnswer::NotOwn;
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
    : m_serviceAddress(serviceAddress)
    , m_servicePort(servicePort)
{
}

bool PeerOwner::isCurrentUser(const QHostAddress& peer, quint16 peerPort) const
{
    switch (askKernel(peer, peerPort, m_serviceAddress, m_servicePort)) {
    case KernelAnswer::Own:
        return true;
    case KernelAnswer::NotOwn:
        return false;
    case KernelAnswer::Unavailable:
        break;
    }
    // A kernel without sock_diag: the whole tables, read for this connection alone.
    for (const SocketTable& table : SocketTables) {
        if (ownPeers(table, m_serviceAddress, m_servicePort).contains(qMakePair(peer, peerPort))) {
            return true;
        }
    }
    return false;
}
