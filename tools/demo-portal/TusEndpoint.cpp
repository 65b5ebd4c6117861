#include "TusEndpoint.h"

#include "PortalReceiver.h"
#include "PortalStorage.h"
#include "TusBodyReceiver.h"
#include "core/httpd/HttpRequest.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <optional>

namespace {
const QByteArray Version = QByteArrayLiteral("1.0.0");
const QByteArray Extensions = QByteArrayLiteral("creation,creation-with-upload,termination,checksum");
const QByteArray ChecksumAlgorithms = QByteArrayLiteral("sha1,sha256");
const QByteArray OffsetStream = QByteArrayLiteral("application/offset+octet-stream");
const QByteArray Collection = QByteArrayLiteral("/files/");
const QString FileNameKey = QStringLiteral("filename");
const QString RelativePathKey = QStringLiteral("relativePath");
const QString KindKey = QStringLiteral("kind");
const QString FolderKind = QStringLiteral("folder");
const int IdBytes = 16;

bool isDigits(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; });
}

// A non-negative number of a header field; empty when it is missing or no number.
std::optional<qint64> numberField(const HttpRequest& request, const QByteArray& lowerCaseName)
{
    const QByteArray text = request.header(lowerCaseName);
    bool fits = false;
    const qint64 value = text.toLongLong(&fits);
    return isDigits(text) && fits ? std::optional<qint64>(value) : std::nullopt;
}

std::optional<QByteArray> fromBase64(const QByteArray& text)
{
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional<QByteArray>(decoded.decoded) : std::nullopt;
}

// Upload-Metadata: comma-separated pairs of a key and a base64 value, or a key alone.
std::optional<QHash<QString, QString>> parseMetadata(const QByteArray& field)
{
    QHash<QString, QString> metadata;
    if (field.trimmed().isEmpty()) {
        return metadata;
    }
    for (const QByteArray& pair : field.split(',')) {
        const QList<QByteArray> parts = pair.trimmed().split(' ');
        const QString key = QString::fromLatin1(parts.value(0));
        const std::optional<QByteArray> value = fromBase64(parts.value(1));
        if (key.isEmpty() || parts.size() > 2 || !value || metadata.contains(key)) {
            return std::nullopt;
        }
        metadata.insert(key, QString::fromUtf8(*value));
    }
    return metadata;
}

// Upload-Checksum: an algorithm the endpoint offers and the base64 digest.
std::optional<TusChecksum> parseChecksum(const QByteArray& field, bool& valid)
{
    valid = true;
    if (field.isNull()) {
        return std::nullopt;
    }
    const QList<QByteArray> parts = field.split(' ');
    const std::optional<QByteArray> digest = fromBase64(parts.value(1));
    const QByteArray name = parts.value(0);
    valid = parts.size() == 2 && digest && (name == "sha1" || name == "sha256");
    if (!valid) {
        return std::nullopt;
    }
    return TusChecksum {name == "sha1" ? QCryptographicHash::Sha1 : QCryptographicHash::Sha256, *digest};
}

std::unique_ptr<PortalReceiver> refuse(int status, const QString& detail = {})
{
    return std::make_unique<PortalReceiver>(TusEndpoint::answer(status, detail));
}

std::unique_ptr<PortalReceiver> reply(const PortalResponse& response)
{
    return std::make_unique<PortalReceiver>(response);
}

QByteArray newId()
{
    QByteArray bytes(IdBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toHex();
}
} // namespace

TusEndpoint::TusEndpoint(PortalStorage& storage)
    : m_storage(storage)
{
}

PortalResponse TusEndpoint::answer(int status, const QString& detail)
{
    PortalResponse response = detail.isEmpty() && status < PortalResponse::BadRequest
        ? PortalResponse(status, {}, {})
        : PortalResponse::error(status, detail);
    response.addHeader(QByteArrayLiteral("Tus-Resumable"), Version);
    return response;
}

std::unique_ptr<PortalReceiver> TusEndpoint::receive(const HttpRequest& request, qint64 bodyLength)
{
    const QByteArray path = request.path();
    const QByteArray& method = request.method;
    if (method == "OPTIONS") {
        return reply(options());
    }
    // Every other request must speak the version this endpoint speaks.
    if (request.header("tus-resumable") != Version) {
        PortalResponse refusal =
            answer(PortalResponse::PreconditionFailed, QStringLiteral("Tus-Resumable 1.0.0 needed"));
        refusal.addHeader(QByteArrayLiteral("Tus-Version"), Version);
        return reply(refusal);
    }
    if (path == Collection) {
        return method == "POST" ? create(request, bodyLength) : refuse(PortalResponse::MethodNotAllowed);
    }
    const std::shared_ptr<TusUpload> upload = m_uploads.value(path.mid(Collection.size()));
    if (!upload) {
        return refuse(PortalResponse::NotFound);
    }
    if (method == "HEAD") {
        return reply(head(*upload));
    }
    if (method == "PATCH") {
        return patch(upload, request, bodyLength);
    }
    if (method == "DELETE") {
        return reply(terminate(upload));
    }
    return refuse(PortalResponse::MethodNotAllowed);
}

std::unique_ptr<PortalReceiver> TusEndpoint::create(const HttpRequest& request, qint64 bodyLength)
{
    const std::optional<qint64> length = numberField(request, "upload-length");
    if (!length) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("Upload-Length needed"));
    }
    if (*length > MaxSize || bodyLength > *length) {
        return refuse(PortalResponse::ContentTooLarge);
    }
    std::optional<TusChecksum> checksum;
    if (auto refusal = checkBody(request, bodyLength, checksum)) {
        return refusal;
    }
    const QByteArray rawMetadata = request.header("upload-metadata");
    const std::optional<QHash<QString, QString>> metadata = parseMetadata(rawMetadata);
    if (!metadata) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("malformed Upload-Metadata"));
    }
    const QString target = metadata->value(RelativePathKey, metadata->value(FileNameKey));
    if (!PortalStorage::isSafe(target)) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("unsafe or missing relativePath or filename"));
    }
    const bool isFolder = metadata->value(KindKey) == FolderKind;
    if (isFolder && *length != 0) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("a folder has no bytes"));
    }
    auto upload = std::make_shared<TusUpload>();
    upload->id = newId();
    upload->length = *length;
    upload->metadata = rawMetadata;
    upload->target = target;
    QString error;
    if (!isFolder) {
        upload->incoming = m_storage.createIncoming(QString::fromLatin1(upload->id), error);
        if (upload->incoming.isEmpty()) {
            return refuse(PortalResponse::InternalServerError, error);
        }
    }
    if (*length == 0 && !complete(*upload, error)) {
        return refuse(PortalResponse::InternalServerError, error);
    }
    m_uploads.insert(upload->id, upload);
    PortalResponse created = answer(PortalResponse::Created);
    // Relative to this origin, which is where a client resolves it.
    created.addHeader(QByteArrayLiteral("Location"), Collection + upload->id);
    return writeBody(upload, checksum, bodyLength, created);
}

std::unique_ptr<PortalReceiver>
TusEndpoint::patch(const std::shared_ptr<TusUpload>& upload, const HttpRequest& request, qint64 bodyLength)
{
    const std::optional<qint64> offset = numberField(request, "upload-offset");
    if (!offset) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("Upload-Offset needed"));
    }
    std::optional<TusChecksum> checksum;
    if (auto refusal = checkBody(request, bodyLength, checksum)) {
        return refusal;
    }
    if (upload->busy) {
        return refuse(PortalResponse::Locked, QStringLiteral("another request is writing this upload"));
    }
    if (*offset != upload->offset) {
        return refuse(PortalResponse::Conflict, QStringLiteral("the upload is at %1").arg(upload->offset));
    }
    if (upload->offset + bodyLength > upload->length) {
        return refuse(PortalResponse::ContentTooLarge, QStringLiteral("the body goes past Upload-Length"));
    }
    return writeBody(upload, checksum, bodyLength, answer(PortalResponse::NoContent));
}

std::unique_ptr<PortalReceiver>
TusEndpoint::checkBody(const HttpRequest& request, qint64 bodyLength, std::optional<TusChecksum>& checksum)
{
    if ((bodyLength > 0 || request.method == "PATCH") && request.header("content-type") != OffsetStream) {
        return refuse(PortalResponse::UnsupportedMediaType, QString::fromLatin1(OffsetStream) + " needed");
    }
    bool valid = true;
    checksum = parseChecksum(request.header("upload-checksum"), valid);
    if (!valid) {
        return refuse(PortalResponse::BadRequest, QStringLiteral("Upload-Checksum needs sha1 or sha256 and base64"));
    }
    return nullptr;
}

std::unique_ptr<PortalReceiver> TusEndpoint::writeBody(const std::shared_ptr<TusUpload>& upload,
                                                       const std::optional<TusChecksum>& checksum,
                                                       qint64 bodyLength,
                                                       const PortalResponse& success)
{
    if (bodyLength == 0 && !checksum) {
        PortalResponse done = success;
        done.addHeader(QByteArrayLiteral("Upload-Offset"), QByteArray::number(upload->offset));
        return reply(done);
    }
    return std::make_unique<TusBodyReceiver>(*this, upload, checksum, success);
}

bool TusEndpoint::complete(TusUpload& upload, QString& error)
{
    if (!m_storage.place(upload.incoming, upload.target, error)) {
        return false;
    }
    upload.incoming.clear();
    return true;
}

PortalResponse TusEndpoint::options()
{
    PortalResponse response = answer(PortalResponse::NoContent);
    response.addHeader(QByteArrayLiteral("Tus-Version"), Version);
    response.addHeader(QByteArrayLiteral("Tus-Extension"), Extensions);
    response.addHeader(QByteArrayLiteral("Tus-Checksum-Algorithm"), ChecksumAlgorithms);
    response.addHeader(QByteArrayLiteral("Tus-Max-Size"), QByteArray::number(MaxSize));
    return response;
}

PortalResponse TusEndpoint::head(const TusUpload& upload)
{
    PortalResponse response = answer(PortalResponse::Ok);
    response.addHeader(QByteArrayLiteral("Upload-Offset"), QByteArray::number(upload.offset));
    response.addHeader(QByteArrayLiteral("Upload-Length"), QByteArray::number(upload.length));
    if (!upload.metadata.isEmpty()) {
        response.addHeader(QByteArrayLiteral("Upload-Metadata"), upload.metadata);
    }
    return response;
}

PortalResponse TusEndpoint::terminate(const std::shared_ptr<TusUpload>& upload)
{
    // A placed upload belongs to the data folder now; only an unfinished one has bytes to drop.
    if (!upload->incoming.isEmpty()) {
        QFile::remove(upload->incoming);
    }
    upload->terminated = true;
    m_uploads.remove(upload->id);
    return answer(PortalResponse::NoContent);
}
