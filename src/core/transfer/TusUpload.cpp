#include "TusUpload.h"
#include "core/CoreLogging.h"

#include "FileTimes.h"
#include "HttpClient.h"
#include "TusAnswer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {
const QByteArray ResumableHeader = QByteArrayLiteral("Tus-Resumable: 1.0.0");
const QByteArray OffsetStreamType = QByteArrayLiteral("Content-Type: application/offset+octet-stream");
const QByteArray Sha256 = QByteArrayLiteral("sha256");
const qint64 HashBlockBytes = 1024 * 1024;
const QString FileChanged = QStringLiteral("the file changed");

enum Status {
    Ok = 200,
    Created = 201,
    NoContent = 204,
    Forbidden = 403,
    NotFound = 404,
    Conflict = 409,
    Gone = 410,
    PayloadTooLarge = 413,
    Locked = 423,
    ChecksumMismatch = 460,
    FirstServerError = 500,
};

// No answer at all, or a server error: worth trying again.
bool isTransient(const HttpExchangeResult& result)
{
    return result.status == 0 || result.status >= FirstServerError;
}

QString reasonOf(const HttpExchangeResult& result)
{
    return result.status == 0 ? result.failure : QStringLiteral("server answered %1").arg(result.status);
}

} // namespace

TusUpload::TusUpload(HttpClient& client,
                     const Transfer& transfer,
                     int itemIndex,
                     std::shared_ptr<TusServerOptions> options,
                     QObject* parent)
    : TransferJob(client, transfer, itemIndex, parent)
    , m_options(std::move(options))
{
}

void TusUpload::start()
{
    if (!fileUnchanged()) {
        failChanged();
        return;
    }
    if (!m_options->known) {
        askOptions();
    } else if (m_item.uploadUrl.isEmpty()) {
        create();
    } else {
        askOffset();
    }
}

void TusUpload::terminate(HttpClient& client, const QUrl& uploadUrl, const HeaderList& headers)
{
    HttpExchangeRequest request;
    request.method = QByteArrayLiteral("DELETE");
    request.url = uploadUrl;
    request.headers = {ResumableHeader};
    for (const auto& header : headers) {
        request.headers.append(header.first + ": " + header.second);
    }
    client.start(std::move(request), [uploadUrl](const HttpExchangeResult& result) {
        qCDebug(lcTransfer).noquote() << "termination of" << uploadUrl.toString() << "answered" << result.status
                                      << result.failure;
    });
}

void TusUpload::askOptions()
{
    send(request(QByteArrayLiteral("OPTIONS"), m_url), [this](const HttpExchangeResult& result) {
        if (isTransient(result)) {
            retryLater(reasonOf(result), [this] { askOptions(); });
            return;
        }
        *m_options = TusAnswer::options(
            result.header("tus-extension"), result.header("tus-checksum-algorithm"), result.header("tus-max-size"));
        start();
    });
}

void TusUpload::create()
{
    if (m_options->maxSize > 0 && m_item.size > m_options->maxSize) {
        fail(QStringLiteral("the file is larger than the server accepts (%1 bytes)").arg(m_options->maxSize));
        return;
    }
    m_item.offset = 0;
    HttpExchangeRequest creation = request(QByteArrayLiteral("POST"), m_url);
    creation.headers.append("Upload-Length: " + QByteArray::number(m_item.size));
    creation.headers.append("Upload-Metadata: " + encodedMetadata());
    // Small files go in the creating request itself where the server allows it.
    // A larger one gets its URL first, so a pause or a broken connection never loses sent bytes.
    const bool sendAlong = m_options->creationWithUpload && m_item.size > 0 && m_item.size <= SmallFileBytes;
    const qint64 sent = sendAlong ? m_item.size : 0;
    if (sendAlong) {
        creation = withBody(std::move(creation), sent);
    } else {
        creation.bodyLength = 0;
    }
    send(std::move(creation), [this, sent](const HttpExchangeResult& result) { onCreated(result, sent); });
}

void TusUpload::onCreated(const HttpExchangeResult& result, qint64 sent)
{
    if (isTransient(result)) {
        retryLater(reasonOf(result), [this] { create(); });
        return;
    }
    if (result.status == PayloadTooLarge && sent > 0) {
        // A proxy refused the bytes sent along: create first, send afterwards.
        m_options->creationWithUpload = false;
        create();
        return;
    }
    if (result.status != Created) {
        fail(statusError(result.status));
        return;
    }
    const QUrl location = TusAnswer::uploadAddress(m_url, result.header("location"));
    if (location.isEmpty()) {
        fail(QStringLiteral("the server named an upload address of another origin"));
        return;
    }
    m_item.uploadUrl = location.toString(QUrl::FullyEncoded);
    m_item.offset = 0;
    if (sent > 0 && !acceptOffset(result.header("upload-offset"), sent)) {
        // The bytes sent along are not confirmed: ask how far the server got.
        saveCheckpoint();
        askOffset();
        return;
    }
    m_retry.reset();
    saveCheckpoint();
    continueOrFinish();
}

void TusUpload::askOffset()
{
    send(request(QByteArrayLiteral("HEAD"), QUrl(m_item.uploadUrl)),
         [this](const HttpExchangeResult& result) { onOffset(result); });
}

void TusUpload::onOffset(const HttpExchangeResult& result)
{
    const qint64 confirmed = m_item.offset;
    if (isTransient(result) || result.status == Locked) {
        retryLater(reasonOf(result), [this] { askOffset(); });
        return;
    }
    if (result.status == NotFound || result.status == Gone) {
        restartUpload();
        return;
    }
    if (result.status != Ok && result.status != NoContent) {
        fail(statusError(result.status));
        return;
    }
    const QByteArray length = result.header("upload-length");
    if (!length.isEmpty() && length.toLongLong() != m_item.size) {
        fail(QStringLiteral("the server holds an upload of another size"));
        return;
    }
    if (!acceptOffset(result.header("upload-offset"), m_item.size)) {
        fail(QStringLiteral("the server answered without a valid offset"));
        return;
    }
    // A broken request whose bytes the server kept was progress: only failures in a row count.
    if (m_item.offset > confirmed) {
        m_retry.reset();
    }
    saveCheckpoint();
    continueOrFinish();
}

void TusUpload::sendChunk()
{
    if (!fileUnchanged()) {
        failChanged();
        return;
    }
    const qint64 length = qMin(m_requestSize.bytes(), m_item.size - m_item.offset);
    m_requestTimer.start();
    HttpExchangeRequest patch = request(QByteArrayLiteral("PATCH"), QUrl(m_item.uploadUrl));
    patch.headers.append("Upload-Offset: " + QByteArray::number(m_item.offset));
    send(withBody(std::move(patch), length),
         [this, length](const HttpExchangeResult& result) { onChunkSent(result, length); });
}

void TusUpload::onChunkSent(const HttpExchangeResult& result, qint64 sent)
{
    const qint64 before = m_item.offset;
    if (result.status == NoContent || result.status == Ok) {
        // An offset beyond what this request carried confirms nothing: the server's HEAD decides.
        if (!acceptOffset(result.header("upload-offset"), before + sent) || m_item.offset <= before) {
            m_item.offset = before;
            retryLater(QStringLiteral("the server confirmed no progress"), [this] { askOffset(); });
            return;
        }
        m_requestSize.confirmed(sent, m_requestTimer.elapsed());
        m_retry.reset();
        saveCheckpoint();
        continueOrFinish();
        return;
    }
    switch (result.status) {
    case Conflict:
        // The server's offset decides; a server that keeps disagreeing uses up the attempts.
        retryLater(reasonOf(result), [this] { askOffset(); });
        return;
    case PayloadTooLarge:
        // A proxy's limit: halve what it refused until it passes.
        if (!m_requestSize.refused(sent)) {
            fail(statusError(result.status));
            return;
        }
        askOffset();
        return;
    case NotFound:
    case Gone:
        restartUpload();
        return;
    case Locked:
    case ChecksumMismatch:
        retryLater(reasonOf(result), [this] { askOffset(); });
        return;
    default:
        break;
    }
    if (isTransient(result)) {
        // Some bytes may have arrived: the server's offset decides where to go on.
        retryLater(reasonOf(result), [this] { askOffset(); });
        return;
    }
    fail(statusError(result.status));
}

void TusUpload::continueOrFinish()
{
    if (m_item.offset < m_item.size) {
        sendChunk();
    } else if (fileUnchanged()) {
        succeed();
    } else {
        failChanged();
    }
}

void TusUpload::failChanged()
{
    // The server may hold bytes of two versions: remove the upload so the portal never takes it.
    if (!m_item.uploadUrl.isEmpty() && m_options->termination) {
        terminate(m_client, QUrl(m_item.uploadUrl), m_headers);
    }
    fail(FileChanged);
}

void TusUpload::restartUpload()
{
    qCDebug(lcTransfer).noquote() << "the server no longer knows" << m_item.uploadUrl << "- starting a new upload";
    m_item.uploadUrl.clear();
    m_item.offset = 0;
    saveCheckpoint();
    restartLater(QStringLiteral("the server lost the upload"), [this] { create(); });
}

bool TusUpload::fileUnchanged()
{
    if (m_item.folderMarker) {
        return true;
    }
    const QFileInfo info(m_item.path);
    return info.isFile() && info.size() == m_item.size && FileTimes::modifiedMs(m_item.path) == m_item.modifiedMs;
}

bool TusUpload::acceptOffset(const QByteArray& value, qint64 maximum)
{
    const qint64 offset = TusAnswer::offset(value, maximum);
    if (offset < 0) {
        return false;
    }
    m_item.offset = offset;
    return true;
}

QByteArray TusUpload::encodedMetadata() const
{
    QJsonObject metadata = m_metadata;
    const QString fileName = QFileInfo(m_item.relativePath.isEmpty() ? m_item.path : m_item.relativePath).fileName();
    metadata.insert(QStringLiteral("filename"), fileName);
    if (!m_item.relativePath.isEmpty()) {
        metadata.insert(QStringLiteral("relativePath"), m_item.relativePath);
    }
    if (m_item.folderMarker) {
        metadata.insert(QStringLiteral("kind"), QStringLiteral("folder"));
    }
    QList<QByteArray> pairs;
    for (auto entry = metadata.constBegin(); entry != metadata.constEnd(); ++entry) {
        pairs.append(entry.key().toLatin1() + ' ' + entry.value().toString().toUtf8().toBase64());
    }
    return pairs.join(',');
}

QByteArray TusUpload::checksumOf(qint64 offset, qint64 length) const
{
    const bool sha256 = m_options->checksumAlgorithm == Sha256;
    QCryptographicHash hash(sha256 ? QCryptographicHash::Sha256 : QCryptographicHash::Sha1);
    QFile file(m_item.path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset)) {
        return {};
    }
    for (qint64 left = length; left > 0;) {
        const QByteArray block = file.read(qMin(left, HashBlockBytes));
        if (block.isEmpty()) {
            return {};
        }
        hash.addData(block);
        left -= block.size();
    }
    return m_options->checksumAlgorithm + ' ' + hash.result().toBase64();
}

HttpExchangeRequest TusUpload::request(const QByteArray& method, const QUrl& url) const
{
    HttpExchangeRequest request;
    request.method = method;
    request.url = url;
    request.headers = {ResumableHeader};
    return request;
}

HttpExchangeRequest TusUpload::withBody(HttpExchangeRequest request, qint64 length) const
{
    request.headers.append(OffsetStreamType);
    if (!m_options->checksumAlgorithm.isEmpty()) {
        request.headers.append("Upload-Checksum: " + checksumOf(m_item.offset, length));
    }
    request.bodyPath = m_item.path;
    request.bodyOffset = m_item.offset;
    request.bodyLength = length;
    return request;
}
