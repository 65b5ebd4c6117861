#ifndef SQUIDPROXY_H
#define SQUIDPROXY_H

#include <QByteArray>
#include <QTemporaryDir>

class ProcessSet;

// A real caching proxy (Debian's squid) on 127.0.0.1 that wants a login (Basic, checked by
// squid's own helper against a password file), with a configuration and logs of the test's own.
class SquidProxy
{
public:
    bool start(ProcessSet& processes, const QByteArray& user, const QByteArray& password);

    // "http://127.0.0.1:PORT", as http_proxy takes it.
    QByteArray address() const;
    // The access log so far: one line per answer, with its status ("TCP_DENIED/407").
    QByteArray accessLog() const;

private:
    QTemporaryDir m_folder;
    quint16 m_port = 0;
};

#endif // SQUIDPROXY_H
