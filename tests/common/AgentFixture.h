#ifndef AGENTFIXTURE_H
#define AGENTFIXTURE_H

#include "core/transfer/CertificateTrust.h"
#include "core/transfer/Grants.h"
#include "core/transfer/TransferAgent.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// The base of test classes that drive a transfer agent in the test's own process: each case has
// data and Downloads folders of its own, and its agent ends before the case's clean-up.
class AgentFixture : public QObject
{
protected:
    // Makes the case's folders; from init().
    bool makeFolders();
    // Ends the case's agent; from cleanup().
    void endAgent() { m_agent.reset(); }
    // A new agent on the case's folders; a proxy's 407 is answered by proxyLogin when given.
    TransferAgent& agent(ProxyLogin* proxyLogin = nullptr);
    QJsonObject transfer(const QString& id) const;
    // Grants path and uploads it to the tus collection as a page of origin would; the transfer's id.
    QString startUpload(const QString& path, const QUrl& collection, const QString& origin);
    // Downloads url into the Downloads folder as name, as a page of origin would; the transfer's id.
    QString startDownload(const QUrl& url, const QString& name, const QString& origin);

    std::unique_ptr<QTemporaryDir> m_work;
    QString m_data;
    QString m_downloads;
    CertificateTrust m_trust;
    Grants m_grants;
    std::unique_ptr<TransferAgent> m_agent;
};

#endif // AGENTFIXTURE_H
