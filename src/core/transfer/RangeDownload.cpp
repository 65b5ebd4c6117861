#include "RangeDownload.h"

#include "DownloadSink.h"
#include "SafeFileName.h"
#include "SafeFiles.h"

#include <QFileInfo>

namespace {
const int Ok = 200;
const int PartialContent = 206;
const int RangeNotSatisfiable = 416;
const int FirstServerError = 500;
} // namespace

RangeDownload::RangeDownload(HttpClient& client, const Transfer& transfer, int itemIndex, QObject* parent)
    : TransferJob(client, transfer, itemIndex, parent)
{
}

QString RangeDownload::partPath() const
{
    return m_item.path + SafeFileName::PartSuffix;
}

void RangeDownload::start()
{
    // The bytes on disk are the resume point; without a validator they cannot be trusted.
    const QFileInfo part(partPath());
    m_item.offset = (part.isFile() && !m_item.validator.isEmpty()) ? part.size() : 0;
    HttpExchangeRequest request;
    request.method = QByteArrayLiteral("GET");
    request.url = m_url;
    if (m_item.offset > 0) {
        request.headers.append("Range: bytes=" + QByteArray::number(m_item.offset) + '-');
        request.headers.append("If-Range: " + m_item.validator);
    }
    m_sink = std::make_shared<DownloadSink>(partPath(), m_item.offset);
    request.sink = m_sink;
    send(std::move(request), [this](const HttpExchangeResult& result) { onAnswer(result); });
}

void RangeDownload::stop()
{
    TransferJob::stop();
    if (m_sink) {
        m_sink->close();
    }
}

TransferItem RangeDownload::liveItem() const
{
    TransferItem item = m_item;
    if (m_sink && !item.done) {
        item.offset = m_sink->bytesOnDisk();
        item.validator = m_sink->validator().isEmpty() ? item.validator : m_sink->validator();
        item.size = m_sink->total() >= 0 ? m_sink->total() : item.size;
    }
    return item;
}

void RangeDownload::onAnswer(const HttpExchangeResult& result)
{
    m_sink->close();
    m_item = liveItem();
    saveCheckpoint();
    // The sink refused the answer (a full disk, a range not asked for): that is final.
    const QString refused = m_sink->failure();
    if (!refused.isEmpty()) {
        fail(refused);
        return;
    }
    if (result.failure.isEmpty() && (result.status == Ok || result.status == PartialContent)) {
        finishFile();
        return;
    }
    if (result.status == RangeNotSatisfiable) {
        // The file on the server is shorter than our part: it is another version. Asked of a
        // server that answers so even without a range, again and again: a bounded number of times.
        m_item.validator.clear();
        restartLater(statusError(result.status), [this] { start(); });
        return;
    }
    if (!result.failure.isEmpty() || result.status >= FirstServerError) {
        retryLater(result.failure.isEmpty() ? statusError(result.status) : result.failure, [this] { start(); });
        return;
    }
    fail(statusError(result.status));
}

void RangeDownload::finishFile()
{
    const qint64 onDisk = m_sink->bytesOnDisk();
    if (m_sink->total() >= 0 && onDisk != m_sink->total()) {
        retryLater(QStringLiteral("the download ended early"), [this] { start(); });
        return;
    }
    // The name may have been taken while the bytes arrived: then the next free one.
    QString error;
    const QString path = SafeFiles::finish(partPath(), m_item.path, &error);
    if (path.isEmpty()) {
        fail(QStringLiteral("cannot give the finished file its name: %1").arg(error));
        return;
    }
    m_item.path = path;
    m_item.size = onDisk;
    succeed();
}
