#ifndef NODEPEER_H
#define NODEPEER_H

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// A Node.js program of tests/node the test talks to over loopback (a tus server, a
// ranged file server). It prints "listening PORT" first; it is killed with the peer.
class NodePeer
{
public:
    NodePeer() = default;
    ~NodePeer();
    NodePeer(const NodePeer&) = delete;
    NodePeer& operator=(const NodePeer&) = delete;

    // Starts tests/node/<script> and waits for its port; false if it does not come up.
    // A stopped peer may be started again.
    bool start(const QString& script, const QStringList& arguments = {});
    // Starts the tus server (@tus/server with its file store) on store, made if missing.
    bool startTusServer(const QString& store);
    // Kills the program at once, as a crash would.
    void kill();
    quint16 port() const { return m_port; }
    QString origin() const;
    // Everything the program printed after its port line, read so far.
    QByteArray output();

private:
    QProcess m_process;
    QByteArray m_output;
    quint16 m_port = 0;
};

#endif // NODEPEER_H
