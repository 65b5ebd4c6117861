#ifndef PORTALCONNECTION_H
#define PORTALCONNECTION_H

#include "core/httpd/HttpRequestParser.h"

#include <QFile>
#include <QObject>
#include <QTimer>

#include <memory>

class PortalReceiver;
class PortalResponse;
class PortalSite;
class QTcpSocket;

// One accepted connection, plain or TLS: reads a single request, answers it, logs it
// and closes. Bodies in both directions stream, so neither is ever held whole in memory.
class PortalConnection : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of the socket. The site must outlive the connection. A body is read
    // at most bodyBytesPerSecond fast; 0 for no limit.
    PortalConnection(QTcpSocket* socket, PortalSite& site, qint64 bodyBytesPerSecond, QObject* parent = nullptr);
    ~PortalConnection() override;

    // Reads the request. Its head must arrive in full within DeadlineMs; after that,
    // neither the body nor the answer may stall for longer than that.
    void serve();

    static constexpr int DeadlineMs = 10000;

signals:
    // The socket is closed; the connection may be deleted.
    void finished();

private:
    enum class Stage { Head, Body, Answer };

    void onReadyRead();
    void onPaceTick();
    void readHead();
    void takeBody(const QByteArray& bytes);
    void onDisconnected();
    void onDeadline();
    void abandonBody();
    void respond(const PortalResponse& response);
    void sendFile();
    // Bytes of the answer written but not yet sent.
    qint64 bytesPending() const;
    void log(const QByteArray& outcome) const;

    QTcpSocket* const m_socket;
    PortalSite& m_site;
    HttpRequestParser m_parser {HttpRequestParser::Body::Streamed};
    std::unique_ptr<PortalReceiver> m_receiver;
    qint64 m_bodyLeft = 0;
    // With a limited rate: what the body may still bring until the next tick of m_pace.
    const qint64 m_bytesPerTick;
    qint64 m_allowance = 0;
    QTimer m_pace;
    QFile m_file;
    qint64 m_fileLeft = 0;
    QTimer m_deadline;
    Stage m_stage = Stage::Head;
};

#endif // PORTALCONNECTION_H
