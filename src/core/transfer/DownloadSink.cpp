#include "DownloadSink.h"

#include "RangeAnswer.h"
#include "SafeFiles.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <limits>

namespace {
const int Ok = 200;
const int PartialContent = 206;
const QString DiskFull = QStringLiteral("disk full");
} // namespace

DownloadSink::DownloadSink(const QString& partPath, qint64 offset)
    : m_path(partPath)
    , m_requestedOffset(offset)
    , m_onDisk(offset)
{
}

DownloadSink::~DownloadSink()
{
    close();
}

bool DownloadSink::begin(int status, const QHash<QByteArray, QByteArray>& headers)
{
    const QMutexLocker lock(&m_mutex);
    if (status == PartialContent && m_requestedOffset > 0) {
        return beginRange(headers);
    }
    if (status == Ok) {
        return beginWhole(headers);
    }
    // Anything else, an error page among them, never reaches the file.
    return false;
}

bool DownloadSink::beginRange(const QHash<QByteArray, QByteArray>& headers)
{
    const qint64 first = m_requestedOffset;
    const qint64 total =
        RangeAnswer::totalOfRange(headers.value("content-range"), headers.value("content-length"), first);
    if (total < 0) {
        return stop(QStringLiteral("the server sent another range than was asked"));
    }
    if (!roomFor(first, total - first) || !openPart() || !m_file.resize(first) || !m_file.seek(first)) {
        return stop(m_failure.isEmpty() ? m_file.errorString() : m_failure);
    }
    m_total = total;
    m_onDisk = first;
    m_writtenOut = first;
    m_validator = RangeAnswer::validator(headers.value("etag"), headers.value("last-modified"));
    return true;
}

bool DownloadSink::beginWhole(const QHash<QByteArray, QByteArray>& headers)
{
    // Also the answer to a range request whose validator no longer matches: start from zero.
    m_total = RangeAnswer::totalOfWhole(headers.value("content-length"));
    // Not opened to truncate: ext4 writes out, when it is closed, every new byte of a file that
    // was truncated (its guard for programs rewriting a file in place), which held up the
    // end of a 1 GiB download by a quarter of a second and the next fsync by half a second.
    // A part not yet begun is empty; only an earlier version's bytes need cutting.
    if (!roomFor(0, qMax<qint64>(m_total, 0)) || !openPart() || (m_file.size() > 0 && !m_file.resize(0))) {
        return stop(m_failure.isEmpty() ? m_file.errorString() : m_failure);
    }
    m_onDisk = 0;
    m_writtenOut = 0;
    m_validator = RangeAnswer::validator(headers.value("etag"), headers.value("last-modified"));
    return true;
}

bool DownloadSink::roomFor(qint64 start, qint64 bytes)
{
    const qint64 free = freeBytes();
    m_limit = free == std::numeric_limits<qint64>::max() ? free : start + free - FreeSpaceMarginBytes;
    if (start + bytes > m_limit) {
        m_failure = DiskFull;
        return false;
    }
    return true;
}

qint64 DownloadSink::freeBytes() const
{
    const QStorageInfo storage(QFileInfo(m_path).absolutePath());
    return storage.isValid() ? storage.bytesAvailable() : std::numeric_limits<qint64>::max();
}

bool DownloadSink::openPart()
{
    // Made when the download was added; made again if it went since. Never through a link.
    QString error;
    const int descriptor =
        SafeFiles::isTaken(m_path) ? SafeFiles::openOwn(m_path, &error) : SafeFiles::createNew(m_path, &error);
    if (descriptor < 0) {
        return stop(error);
    }
    m_gathered.reserve(GatheredBytes);
    // Unbuffered: the bytes are gathered here, in larger pieces than QFile's buffer.
    return m_file.open(descriptor, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)
        || stop(m_file.errorString());
}

bool DownloadSink::stop(const QString& failure)
{
    // The first failure is the cause; writing what was gathered at the end may fail after it.
    if (m_failure.isEmpty()) {
        m_failure = failure;
    }
    return false;
}

bool DownloadSink::write(const char* data, qint64 size)
{
    const QMutexLocker lock(&m_mutex);
    // Closed by a stop while the exchange was still being dropped: nothing more goes in.
    if (!m_file.isOpen()) {
        return false;
    }
    if (m_total >= 0 && m_onDisk + size > m_total) {
        return stop(QStringLiteral("the server sent more than it announced"));
    }
    if (m_onDisk + size > m_limit) {
        return stop(DiskFull);
    }
    m_gathered.append(data, static_cast<int>(size));
    m_onDisk += size;
    if (m_gathered.size() < GatheredBytes) {
        return true;
    }
    if (!writeGathered()) {
        return false;
    }
    if (m_onDisk - m_writtenOut >= WriteOutStepBytes) {
        startWriteOut();
    }
    return true;
}

bool DownloadSink::writeGathered()
{
    const qint64 size = m_gathered.size();
    const bool written = size == 0 || m_file.write(m_gathered) == size;
    // Never tried again, not even in part: after a short write the file ends with a part of
    // them, and writing them all again would put bytes twice. resize() keeps the capacity.
    m_gathered.resize(0);
    return written || stopWriting(size);
}

bool DownloadSink::stopWriting(qint64 size)
{
    // A write cut short by a full disk may carry no error of its own: the free space tells.
    if (m_file.error() == QFileDevice::ResourceError || freeBytes() < size) {
        return stop(DiskFull);
    }
    return stop(m_file.errorString());
}

void DownloadSink::startWriteOut()
{
    SafeFiles::startWriteOut(m_file.handle(), m_writtenOut, m_onDisk - m_writtenOut);
    m_writtenOut = m_onDisk;
}

QString DownloadSink::failure() const
{
    const QMutexLocker lock(&m_mutex);
    return m_failure;
}

QByteArray DownloadSink::validator() const
{
    const QMutexLocker lock(&m_mutex);
    return m_validator;
}

qint64 DownloadSink::bytesOnDisk() const
{
    const QMutexLocker lock(&m_mutex);
    return m_onDisk;
}

qint64 DownloadSink::total() const
{
    const QMutexLocker lock(&m_mutex);
    return m_total;
}

void DownloadSink::close()
{
    const QMutexLocker lock(&m_mutex);
    // The last gathered bytes may find the disk full only now.
    if (m_file.isOpen()) {
        writeGathered();
    }
    m_file.close();
}
