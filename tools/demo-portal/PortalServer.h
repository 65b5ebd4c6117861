#ifndef PORTALSERVER_H
#define PORTALSERVER_H

#include "PortalOptions.h"

#include <QTcpServer>

#include <memory>

class PortalSite;

// Accepts connections on 127.0.0.1 and hands each to a PortalConnection, wrapped in TLS
// when the options carry a certificate. Qt 5 has no TLS server class, hence the override.
class PortalServer : public QTcpServer
{
    Q_OBJECT

public:
    explicit PortalServer(const PortalOptions& options, QObject* parent = nullptr);
    ~PortalServer() override;

    // Listens on 127.0.0.1; false, with the reason in error, when it cannot.
    bool start(QString& error);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    QUrl ownOrigin() const;

    const PortalOptions m_options;
    std::unique_ptr<PortalSite> m_site;
};

#endif // PORTALSERVER_H
