#ifndef TRANSFERJOB_H
#define TRANSFERJOB_H

#include "HttpExchange.h"
#include "RetryDelay.h"
#include "Transfer.h"

#include <QObject>
#include <QTimer>

class HttpClient;

// Moves one file of a transfer; the agent runs at most a few at once. Lives on the
// agent's thread; its exchanges run on the HTTP client's.
class TransferJob : public QObject
{
    Q_OBJECT

public:
    TransferJob(HttpClient& client, const Transfer& transfer, int itemIndex, QObject* parent = nullptr);
    ~TransferJob() override;

    virtual void start() = 0;
    // Gives up the exchange in flight; nothing is reported afterwards.
    virtual void stop();

    int itemIndex() const { return m_itemIndex; }
    // The item as far as it got, including the bytes of the exchange in flight.
    virtual TransferItem liveItem() const;
    // Where to go on after the job stops: bytes the server did not confirm do not count.
    virtual TransferItem resumePoint() const { return m_item; }

signals:
    // The resume point moved: the agent stores it.
    void checkpoint(const TransferItem& item);
    // The job ended: error is empty on success.
    void finished(const QString& error);

protected:
    // Sends the request with the page's header fields; done runs unless stop() came first.
    void send(HttpExchangeRequest request, const std::function<void(const HttpExchangeResult&)>& done);
    // Waits as the backoff says, then runs again; fails the job once attempts run out.
    void retryLater(const QString& reason, const std::function<void()>& again);
    // Starts over from nothing (a new upload, the whole file again) after the same wait. Only so
    // many times in all, whatever progress came between: a server that keeps forgetting what it
    // was sent must not keep the agent busy for ever.
    void restartLater(const QString& reason, const std::function<void()>& again);
    void succeed();
    void fail(const QString& error);
    void saveCheckpoint() { emit checkpoint(m_item); }
    static QString statusError(int status);

    HttpClient& m_client;
    const QUrl m_url;
    const HeaderList m_headers;
    const QJsonObject m_metadata;
    TransferItem m_item;
    RetryDelay m_retry;

private:
    const int m_itemIndex;
    quint64 m_exchange = 0;
    // Results of exchanges given up carry an older generation and are ignored.
    quint64 m_generation = 0;
    ByteCounter m_moved;
    QTimer m_retryTimer;
    int m_restarts = 0;
    bool m_ended = false;
};

#endif // TRANSFERJOB_H
