#ifndef CTHREAD_H
#define CTHREAD_H

#include <QList>
#include <QNetworkProxy>
#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;
class CCheckUpdateUI;
class ProxyLogin;
class QAuthenticator;

// Fetches the version file on a thread of its own. The network access manager, the
// request and the reply all live on that thread, as Qt requires; only the result goes
// back to the dialog on the GUI thread.
class CThread : public QObject
{
    Q_OBJECT

public:
    CThread() = default;

    QThread* thread = nullptr;
    CCheckUpdateUI* dialog = nullptr;
    // Answers a proxy that asks for a login; set before the first check.
    ProxyLogin* proxyLogin = nullptr;

signals:
    void sig_StartCheck();
    // status is the HTTP status, 0 when the check failed before one arrived (network or TLS
    // failure, or a body over the size limit); check names the request it answers.
    void sig_versionFileArrived(quint64 check, int status, QByteArray body);

public slots:
    void slot_Checkupdate();

private:
    // Asks for the version file through the next way out of m_route.
    void send(quint64 check);
    void handleFinished(QNetworkReply* finished, quint64 check);
    void discardReply();
    void answerProxy(const QNetworkProxy& proxy, QAuthenticator* authenticator);

    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    // The proxy login's round given last, 0 for none.
    int m_proxyRound = 0;
    // The ways out of this check not tried yet, in the order the system gave them.
    QList<QNetworkProxy> m_route;
};

#endif // CTHREAD_H
