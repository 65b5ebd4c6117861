#ifndef TCPRELAY_H
#define TCPRELAY_H

#include <QString>
#include <QThread>

#include <atomic>

class QTcpServer;

// What a TcpRelay does to the bytes on their way to the server.
struct RelayFaults
{
    // Each connection is cut once this many bytes went to the server on it; 0: never.
    qint64 cutAfterBytes = 0;
    // Bytes a second let through to the server, in small pieces; 0: no limit.
    qint64 bytesPerSecond = 0;
};

// A TCP relay on loopback between a client and a server, written for fault tests: it counts
// the bytes the server receives and can cut every connection after some bytes or let only a
// trickle through. It runs on a thread of its own, so a test that blocks never slows it.
class TcpRelay
{
public:
    TcpRelay() = default;
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // Listens on a free loopback port and relays every connection to serverPort.
    bool start(quint16 serverPort, RelayFaults faults = {});
    quint16 port() const { return m_port; }
    QString origin() const;
    // Bytes handed to the server so far, over all connections.
    qint64 bytesToServer() const { return m_bytesToServer; }
    int connectionsCut() const { return m_connectionsCut; }

private:
    void accept(QTcpServer* server);

    QThread m_thread;
    RelayFaults m_faults;
    quint16 m_serverPort = 0;
    quint16 m_port = 0;
    std::atomic<qint64> m_bytesToServer {0};
    std::atomic<int> m_connectionsCut {0};
};

#endif // TCPRELAY_H
