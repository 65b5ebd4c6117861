#ifndef PEEROWNER_H
#define PEEROWNER_H

#include <QHostAddress>
#include <QPair>
#include <QVector>

// Loopback is shared by every account on the machine, so a connection to the local service
// may come from another user's process. The operating system's table of TCP sockets tells
// who owns the socket at the other end; each platform reads it in PeerOwner_<platform>.cpp.
class PeerOwner
{
public:
    // Reads the table once, for the connections whose other end is the service at
    // serviceAddress:servicePort; connections accepted before this are all in it.
    PeerOwner(const QHostAddress& serviceAddress, quint16 servicePort);

    // Whether the connection from peer:peerPort comes from a process of this user. False when
    // it belongs to another user or was not in the table.
    bool isCurrentUser(const QHostAddress& peer, quint16 peerPort) const
    {
        return m_ownPeers.contains(qMakePair(peer, peerPort));
    }

private:
    // The peers' ends of this user's connections to the service.
    QVector<QPair<QHostAddress, quint16>> m_ownPeers;
};

#endif // PEEROWNER_H
