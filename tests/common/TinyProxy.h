#ifndef TINYPROXY_H
#define TINYPROXY_H

#include <QByteArray>
#include <QTemporaryDir>

class ProcessSet;

// A real HTTP proxy (Debian's tinyproxy) on 127.0.0.1, with a configuration and a log of the
// test's own: the log names every request that went through it.
class TinyProxy
{
public:
    // With a user and password the proxy answers 407 until given them (BasicAuth).
    bool start(ProcessSet& processes, const QByteArray& user = {}, const QByteArray& password = {});

    // "http://127.0.0.1:PORT", as http_proxy takes it.
    QByteArray address() const;
    // Everything logged so far.
    QByteArray log() const;

private:
    QTemporaryDir m_folder;
    quint16 m_port = 0;
};

#endif // TINYPROXY_H
