#ifndef TUSBODYRECEIVER_H
#define TUSBODYRECEIVER_H

#include "PortalReceiver.h"
#include "TusUpload.h"

#include <QFile>

#include <memory>
#include <optional>

class TusEndpoint;

// Writes the body of a PATCH, or of a POST with creation-with-upload, onto the end of an
// upload, straight to disk. Bytes of an interrupted request are kept, unless the request
// carried a checksum: then they cannot be checked and are dropped, as are bytes whose
// checksum fails.
class TusBodyReceiver : public PortalReceiver
{
public:
    // success: the answer when all is well, which gets the new Upload-Offset. Marks the
    // upload busy until the body ends.
    TusBodyReceiver(TusEndpoint& endpoint,
                    std::shared_ptr<TusUpload> upload,
                    const std::optional<TusChecksum>& checksum,
                    const PortalResponse& success);
    ~TusBodyReceiver() override;

    void take(const QByteArray& bytes) override;
    PortalResponse finish() override;
    void abandon() override;

private:
    // Drops what this request wrote.
    void rollBack();
    void release();

    TusEndpoint& m_endpoint;
    const std::shared_ptr<TusUpload> m_upload;
    const std::optional<TusChecksum> m_checksum;
    std::unique_ptr<QCryptographicHash> m_hash;
    const qint64 m_start;
    QFile m_file;
    QString m_writeError;
    bool m_released = false;
};

#endif // TUSBODYRECEIVER_H
