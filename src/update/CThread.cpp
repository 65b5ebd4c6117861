#include "CThread.h"

#include "CCheckUpdateUI.h"
#include "UpdateServer.h"
#include "core/ProxyLogin.h"
#include "proxy/NetworkProxy.h"

#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
// A version file is a few hundred bytes; a hostile or broken server must not fill memory.
const qint64 MaxBodySize = 1024 * 1024;
// A server that stops sending mid-answer must not hold the check forever.
const int TransferTimeoutMs = 30000;
// Failures before the server was reached, by this way out: the next proxy the system names is
// tried. A proxy refusing the tunnel for https comes as an unknown error.
const QList<QNetworkReply::NetworkError> UnreachedErrors {QNetworkReply::UnknownNetworkError,
                                                          QNetworkReply::ProxyConnectionRefusedError,
                                                          QNetworkReply::ProxyNotFoundError,
                                                          QNetworkReply::ProxyTimeoutError,
                                                          QNetworkReply::ConnectionRefusedError,
                                                          QNetworkReply::HostNotFoundError};
} // namespace

void CThread::slot_Checkupdate()
{
    // The manager is made here, on the worker thread, so that it and its replies live there.
    if (!m_network) {
        m_network = new QNetworkAccessManager(this);
        connect(m_network, &QNetworkAccessManager::proxyAuthenticationRequired, this, &CThread::answerProxy);
    }
    discardReply();
    // Asked here, off the GUI thread: a PAC file may have to be fetched first.
    m_route = NetworkProxy::forUrl(UpdateServer::versionFileUrl());
    send(dialog->requestedCheck());
}

void CThread::send(quint64 check)
{
    // Qt would take only the first of the proxies a factory names: each is set in turn instead.
    m_network->setProxy(m_route.takeFirst());
    QNetworkRequest request(UpdateServer::versionFileUrl());
    request.setTransferTimeout(TransferTimeoutMs);
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > MaxBodySize) {
            reply->setProperty("oversized", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, check] { handleFinished(reply, check); });
}

void CThread::answerProxy(const QNetworkProxy& proxy, QAuthenticator* authenticator)
{
    // Waits on this thread while the GUI thread asks the user.
    const QString proxyHost = proxy.hostName() + QLatin1Char(':') + QString::number(proxy.port());
    const ProxyLogin::Answer answer = proxyLogin->answerFor(proxyHost, m_proxyRound);
    if (answer.round <= m_proxyRound) {
        return;
    }
    m_proxyRound = answer.round;
    authenticator->setUser(answer.user);
    authenticator->setPassword(answer.password);
}

void CThread::discardReply()
{
    if (!m_reply) {
        return;
    }
    // A newer check replaces this one: its answer must never be taken for the current one.
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void CThread::handleFinished(QNetworkReply* finished, quint64 check)
{
    if (finished == m_reply) {
        m_reply = nullptr;
    }
    finished->deleteLater();
    if (!m_route.isEmpty() && UnreachedErrors.contains(finished->error())) {
        send(check);
        return;
    }
    // Cut off for its size or for stalling: a partial body is no answer.
    if (finished->property("oversized").toBool() || finished->error() == QNetworkReply::OperationCanceledError) {
        emit sig_versionFileArrived(check, 0, QByteArray());
        return;
    }
    const int status = finished->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    emit sig_versionFileArrived(check, status, finished->read(MaxBodySize));
}
