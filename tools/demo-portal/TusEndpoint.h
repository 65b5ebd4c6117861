#ifndef TUSENDPOINT_H
#define TUSENDPOINT_H

#include "PortalResponse.h"
#include "TusUpload.h"

#include <QByteArray>
#include <QHash>

#include <memory>
#include <optional>

class PortalReceiver;
class PortalStorage;
struct HttpRequest;

// The portal's tus 1.0.0 server at /files/: the core protocol with the creation,
// creation-with-upload, termination and checksum extensions. A finished upload lands in
// the data folder under its relativePath, or else its filename; an upload with the
// metadata kind=folder and no bytes makes a folder.
class TusEndpoint
{
public:
    static constexpr qint64 MaxSize = Q_INT64_C(64) * 1024 * 1024 * 1024;

    explicit TusEndpoint(PortalStorage& storage);

    // Requests whose path starts with /files/; the caller has checked the bearer token.
    std::unique_ptr<PortalReceiver> receive(const HttpRequest& request, qint64 bodyLength);
    // Places an upload that has all its bytes; false, with the reason in error, when it cannot.
    bool complete(TusUpload& upload, QString& error);

    // Every answer of the endpoint names the protocol version.
    static PortalResponse answer(int status, const QString& detail = {});

private:
    std::unique_ptr<PortalReceiver> create(const HttpRequest& request, qint64 bodyLength);
    std::unique_ptr<PortalReceiver>
    patch(const std::shared_ptr<TusUpload>& upload, const HttpRequest& request, qint64 bodyLength);
    // A refusal when the body's Content-Type or Upload-Checksum will not do; else null,
    // with the checksum the request announces, if any.
    static std::unique_ptr<PortalReceiver>
    checkBody(const HttpRequest& request, qint64 bodyLength, std::optional<TusChecksum>& checksum);
    std::unique_ptr<PortalReceiver> writeBody(const std::shared_ptr<TusUpload>& upload,
                                              const std::optional<TusChecksum>& checksum,
                                              qint64 bodyLength,
                                              const PortalResponse& success);
    static PortalResponse options();
    static PortalResponse head(const TusUpload& upload);
    PortalResponse terminate(const std::shared_ptr<TusUpload>& upload);

    PortalStorage& m_storage;
    QHash<QByteArray, std::shared_ptr<TusUpload>> m_uploads;
};

#endif // TUSENDPOINT_H
