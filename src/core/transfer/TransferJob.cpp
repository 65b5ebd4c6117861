#include "TransferJob.h"
#include "core/CoreLogging.h"

#include "HttpClient.h"

#include <QPointer>

TransferJob::TransferJob(HttpClient& client, const Transfer& transfer, int itemIndex, QObject* parent)
    : QObject(parent)
    , m_client(client)
    , m_url(transfer.url)
    , m_headers(transfer.headers)
    , m_metadata(transfer.metadata)
    , m_item(transfer.items.at(itemIndex))
    , m_itemIndex(itemIndex)
    , m_moved(std::make_shared<std::atomic<qint64>>(0))
{
    m_retryTimer.setSingleShot(true);
}

TransferJob::~TransferJob()
{
    stop();
}

void TransferJob::stop()
{
    m_ended = true;
    ++m_generation;
    m_retryTimer.stop();
    if (m_exchange) {
        m_client.abort(m_exchange);
        m_exchange = 0;
    }
}

TransferItem TransferJob::liveItem() const
{
    TransferItem item = m_item;
    if (!item.done) {
        item.offset = qMin(item.size, item.offset + m_moved->load());
    }
    return item;
}

void TransferJob::send(HttpExchangeRequest request, const std::function<void(const HttpExchangeResult&)>& done)
{
    for (const auto& header : m_headers) {
        request.headers.append(header.first + ": " + header.second);
    }
    m_moved->store(0);
    const quint64 generation = ++m_generation;
    QPointer<TransferJob> self(this);
    const QByteArray method = request.method;
    const QUrl url = request.url;
    m_exchange = m_client.start(
        std::move(request),
        [self, generation, done, method, url](const HttpExchangeResult& result) {
            qCDebug(lcTransfer).noquote()
                << method << url.toString(QUrl::RemoveQuery) << "answered" << result.status << result.failure;
            if (!self || self->m_generation != generation) {
                return;
            }
            self->m_exchange = 0;
            self->m_moved->store(0);
            if (result.untrusted) {
                self->fail(result.failure);
                return;
            }
            done(result);
        },
        m_moved);
}

void TransferJob::retryLater(const QString& reason, const std::function<void()>& again)
{
    const int delayMs = m_retry.next();
    if (delayMs < 0) {
        fail(reason);
        return;
    }
    qCDebug(lcTransfer).noquote() << "transfer retries in" << delayMs << "ms:" << reason;
    m_retryTimer.disconnect();
    connect(&m_retryTimer, &QTimer::timeout, this, again);
    m_retryTimer.start(delayMs);
}

void TransferJob::restartLater(const QString& reason, const std::function<void()>& again)
{
    if (++m_restarts > RetryDelay::MaxAttempts) {
        fail(QStringLiteral("gave up after %1 restarts: %2").arg(RetryDelay::MaxAttempts).arg(reason));
        return;
    }
    retryLater(reason, again);
}

void TransferJob::succeed()
{
    m_item.done = true;
    m_item.offset = m_item.size;
    emit checkpoint(m_item);
    if (!m_ended) {
        m_ended = true;
        emit finished(QString());
    }
}

void TransferJob::fail(const QString& error)
{
    if (!m_ended) {
        stop();
        emit finished(error);
    }
}

QString TransferJob::statusError(int status)
{
    return QStringLiteral("server answered %1").arg(status);
}
