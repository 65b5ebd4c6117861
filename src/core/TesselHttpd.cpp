#include "TesselHttpd.h"
#include "CoreLogging.h"

#include "httpd/HttpServer.h"

#include <QThread>

#include <chrono>
#include <future>
#include <memory>

namespace {
const char* const PortVariable = "NORV_HTTPD_PORT";

enum StartResult { Started = 0, CannotListen = 1, TimedOut = 2 };
} // namespace

// The port from the environment when it holds a plain decimal port number, else the default.
quint16 TesselHttpd::configuredPort()
{
    const QByteArray value = qgetenv(PortVariable);
    if (value.isEmpty()) {
        return TesselHttpd::DefaultPort;
    }
    bool valid = false;
    const ushort port = value.toUShort(&valid);
    if (!valid || QByteArray::number(port) != value) {
        qCWarning(lcHttpd) << "TesselHttpd: ignoring" << PortVariable << value << "which is not a port number, using"
                           << TesselHttpd::DefaultPort;
        return TesselHttpd::DefaultPort;
    }
    return port;
}

TesselHttpd::TesselHttpd(TesselCore* core, TesselPortal* portal)
    : m_core(core)
    , m_portal(portal)
{
}

TesselHttpd::~TesselHttpd()
{
    StopHttpdServer();
}

int TesselHttpd::StartHttpdServer(int startTimeoutMs)
{
    if (m_thread) {
        return Started;
    }
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("TesselHttpd"));
    auto* server = new HttpServer(m_core, m_portal);
    server->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, server, &QObject::deleteLater);

    // Shared with the server's thread, which may report only after we gave up waiting.
    const auto boundPort = std::make_shared<std::promise<quint16>>();
    std::future<quint16> listening = boundPort->get_future();
    const quint16 wantedPort = configuredPort();
    QMetaObject::invokeMethod(
        server,
        [server, wantedPort, boundPort] { boundPort->set_value(server->listenOnLoopback(wantedPort)); },
        Qt::QueuedConnection);
    m_thread->start();

    if (listening.wait_for(std::chrono::milliseconds(startTimeoutMs)) != std::future_status::ready) {
        qCWarning(lcHttpd) << "TesselHttpd: the server thread did not report within" << startTimeoutMs << "ms";
        StopHttpdServer();
        return TimedOut;
    }
    m_port = listening.get();
    if (m_port == 0) {
        StopHttpdServer();
        return CannotListen;
    }
    qCDebug(lcHttpd).noquote() << QStringLiteral("TesselHttpd listening on 127.0.0.1:") + QString::number(m_port);
    return Started;
}

void TesselHttpd::StopHttpdServer()
{
    if (!m_thread) {
        return;
    }
    // Leaving the event loop deletes the server on its own thread, which closes it and
    // every connection. If the thread never got to its loop, it ends as soon as it does.
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_port = 0;
}

quint16 TesselHttpd::port() const
{
    return m_port;
}
