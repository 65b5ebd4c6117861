#include "TusBodyReceiver.h"

#include "TusEndpoint.h"

#include <QTextStream>

TusBodyReceiver::TusBodyReceiver(TusEndpoint& endpoint,
                                 std::shared_ptr<TusUpload> upload,
                                 const std::optional<TusChecksum>& checksum,
                                 const PortalResponse& success)
    : PortalReceiver(success)
    , m_endpoint(endpoint)
    , m_upload(std::move(upload))
    , m_checksum(checksum)
    , m_start(m_upload->offset)
    , m_file(m_upload->incoming)
{
    m_upload->busy = true;
    if (m_checksum) {
        m_hash = std::make_unique<QCryptographicHash>(m_checksum->algorithm);
    }
    if (!m_file.open(QIODevice::ReadWrite) || !m_file.seek(m_start)) {
        m_writeError = m_file.errorString();
    }
}

TusBodyReceiver::~TusBodyReceiver()
{
    release();
}

void TusBodyReceiver::take(const QByteArray& bytes)
{
    if (!m_writeError.isEmpty()) {
        return;
    }
    if (m_file.write(bytes) != bytes.size()) {
        m_writeError = m_file.errorString();
        return;
    }
    if (m_hash) {
        m_hash->addData(bytes);
    }
    m_upload->offset += bytes.size();
}

PortalResponse TusBodyReceiver::finish()
{
    if (m_upload->terminated) {
        release();
        return TusEndpoint::answer(PortalResponse::NotFound, QStringLiteral("the upload was terminated"));
    }
    if (!m_file.flush() && m_writeError.isEmpty()) {
        m_writeError = m_file.errorString();
    }
    if (!m_writeError.isEmpty()) {
        rollBack();
        release();
        QTextStream(stderr) << "cannot write upload " << m_upload->id << ": " << m_writeError << '\n';
        return TusEndpoint::answer(PortalResponse::InternalServerError, m_writeError);
    }
    if (m_hash && m_hash->result() != m_checksum->digest) {
        rollBack();
        release();
        return TusEndpoint::answer(PortalResponse::ChecksumMismatch);
    }
    m_file.close();
    QString error;
    const bool complete = m_upload->offset < m_upload->length || m_endpoint.complete(*m_upload, error);
    release();
    if (!complete) {
        return TusEndpoint::answer(PortalResponse::InternalServerError, error);
    }
    PortalResponse answer = plannedAnswer();
    answer.addHeader(QByteArrayLiteral("Upload-Offset"), QByteArray::number(m_upload->offset));
    return answer;
}

void TusBodyReceiver::abandon()
{
    if (m_checksum || !m_file.flush()) {
        rollBack();
    }
    release();
}

void TusBodyReceiver::rollBack()
{
    m_file.resize(m_start);
    m_upload->offset = m_start;
}

void TusBodyReceiver::release()
{
    m_file.close();
    if (!m_released) {
        m_released = true;
        m_upload->busy = false;
    }
}
