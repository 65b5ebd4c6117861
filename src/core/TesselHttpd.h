#ifndef TESSELHTTPD_H
#define TESSELHTTPD_H

#include <QtGlobal>

class QThread;
class TesselCore;
class TesselPortal;

// The local HTTP service through which the portal, open in an external browser,
// talks to the client. It runs on a thread of its own and listens on loopback only.
class TesselHttpd
{
public:
    static constexpr quint16 DefaultPort = 9887;

    TesselHttpd(TesselCore* core, TesselPortal* portal);
    ~TesselHttpd();

    TesselHttpd(const TesselHttpd&) = delete;
    TesselHttpd& operator=(const TesselHttpd&) = delete;

    // Starts listening on 127.0.0.1, waiting at most startTimeoutMs for the server thread.
    // The port is DefaultPort unless NORV_HTTPD_PORT says otherwise (0: any free port).
    // Returns 0 when listening, non-zero when the port cannot be bound.
    int StartHttpdServer(int startTimeoutMs);
    // Closes the server and joins its thread. Safe to call when not started.
    void StopHttpdServer();

    // The port actually bound while listening, 0 otherwise.
    quint16 port() const;
    // The port the service asks for: DefaultPort unless NORV_HTTPD_PORT names another.
    static quint16 configuredPort();

private:
    TesselCore* const m_core;
    TesselPortal* const m_portal;
    // Runs the server, which it deletes when it finishes.
    QThread* m_thread = nullptr;
    quint16 m_port = 0;
};

#endif // TESSELHTTPD_H
