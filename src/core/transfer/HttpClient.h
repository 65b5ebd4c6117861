#ifndef HTTPCLIENT_H
#define HTTPCLIENT_H

#include "HttpExchange.h"

#include <QHash>
#include <QMutex>
#include <QSet>

#include <map>
#include <memory>
#include <thread>
#include <vector>

class CertificateTrust;
class ProxyLogin;
class QObject;

// Runs HTTP exchanges with libcurl's multi interface on a thread of its own, one
// connection per exchange, reusing connections to the same server. Bodies stream from
// and to files; no body is ever held whole in memory.
class HttpClient
{
public:
    // A connection that moves no byte for this long is dropped, unless set otherwise.
    static constexpr long StallSeconds = 60;

    // Results are handed to the receiver's thread; the receiver must outlive the client.
    // A proxy asking for a login gets the one from proxyLogin; without it the exchange fails.
    HttpClient(const CertificateTrust* trust, QObject* receiver, ProxyLogin* proxyLogin = nullptr);
    ~HttpClient();

    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // Starts an exchange; done runs on the receiver's thread. Safe from any thread.
    quint64 start(HttpExchangeRequest request, HttpExchangeDone done, ByteCounter moved = {});
    // Drops the exchange. Its done may still run if it had finished already: callers
    // recognise results of exchanges they gave up.
    void abort(quint64 id);
    // Caps each exchange's speed in both directions, 0 for no cap.
    void setRateLimit(qint64 bytesPerSecond);
    // How long a connection may move no byte before it is dropped; 0 keeps StallSeconds.
    void setStallSeconds(long seconds);

    struct Exchange;

private:
    // Starts libcurl and the client's thread once; false when libcurl cannot start.
    bool startedThread();
    void run();
    void admitPending();
    void configure(Exchange* exchange);
    void finish(Exchange* exchange, int curlResult);
    // After the proxy refused the exchange's login: true when it was queued again with a new one.
    bool retriedWithNewLogin(Exchange* exchange);
    // At the end of an answer's header: remembers the schemes a proxy named, or that it let the
    // exchange through, so later exchanges give the login at once instead of taking a 407 each.
    void learnProxySchemes(Exchange* exchange);
    // Lets the exchanges held back for the probe's answer go.
    void endProbe(Exchange* exchange);
    // After the way out failed before reaching the server: true when queued again by the next one.
    bool retriedByNextProxy(Exchange* exchange, int curlResult);
    // After a kept connection failed before any answer: true when queued again on a new one.
    bool retriedOnNewConnection(Exchange* exchange, int curlResult);
    // Back to the pending exchanges, for another attempt.
    void requeue(Exchange* exchange);

    const CertificateTrust* const m_trust;
    ProxyLogin* const m_proxyLogin;
    QObject* const m_receiver;
    void* m_multi = nullptr;
    QMutex m_mutex;
    bool m_stopping = false;
    quint64 m_lastId = 0;
    qint64 m_rateLimit = 0;
    long m_stallSeconds = StallSeconds;
    std::vector<std::unique_ptr<Exchange>> m_pending;
    std::vector<quint64> m_aborted;
    // Owned by the client's thread once admitted.
    std::map<quint64, std::unique_ptr<Exchange>> m_running;
    // libcurl's CURLAUTH_* for each proxy that answered, and the proxies whose first answer is
    // awaited; on the client's thread only.
    QHash<QByteArray, unsigned long> m_proxySchemes;
    QSet<QByteArray> m_probing;
    std::thread m_thread;
};

#endif // HTTPCLIENT_H
