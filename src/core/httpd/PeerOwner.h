#ifndef PEEROWNER_H
#define PEEROWNER_H

#include <QHostAddress>
#include <QPair>
#include <QVector>

// Loopback is shared by every account on the machine, so a connection to the local service
// may come from another user's process. The operating system tells who owns the socket at
// the other end; each platform asks it in PeerOwner_<platform>.cpp.
class PeerOwner
{
public:
    // For the connections whose other end is the service at serviceAddress:servicePort; those
    // accepted before this are all known to it. Where the system lists sockets only as a whole
    // table (Windows), the table is read here, once.
    PeerOwner(const QHostAddress& serviceAddress, quint16 servicePort);

    // Whether the connection from peer:peerPort is live and comes from a process of this user.
    // False when it belongs to another user, has closed, or cannot be found.
    bool isCurrentUser(const QHostAddress& peer, quint16 peerPort) const;

private:
    const QHostAddress m_serviceAddress;
    const quint16 m_servicePort;
    // Where the system lists sockets only as a whole table (Windows): the peers' ends of this
    // user's connections to the service.
    QVector<QPair<QHostAddress, quint16>> m_ownPeers;
};

#endif // PEEROWNER_H
