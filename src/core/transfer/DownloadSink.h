#ifndef DOWNLOADSINK_H
#define DOWNLOADSINK_H

#include "HttpExchange.h"

#include <QFile>
#include <QMutex>

// Writes the body of a download's answer into its part file, but only the body of a
// 200, or of a 206 whose Content-Range is exactly what was asked. Runs on the HTTP
// client's thread; the agent reads its figures under the lock.
class DownloadSink : public ResponseSink
{
public:
    // A download never takes the last of the disk: other programs, and the agent's own
    // transfers.json, need room too. Also the stop for a body of no announced length.
    static constexpr qint64 FreeSpaceMarginBytes = 16 * 1024 * 1024;
    // Written bytes are sent on to the disk in steps of this size while the body arrives, so
    // the sync before the file takes its name waits for the last step only, not the whole file.
    static constexpr qint64 WriteOutStepBytes = 8 * 1024 * 1024;
    // libcurl hands a body over in pieces of 16 KiB at most; written one by one, each is a
    // system call. They are gathered up to this size first. A part file always ends with whole
    // bytes of the body, in order: a restart resumes from its size, whatever was still here.
    static constexpr int GatheredBytes = 512 * 1024;

    // offset: where the request's range starts, 0 for the whole file.
    DownloadSink(const QString& partPath, qint64 offset);
    // Writes what is still gathered, as a dropped exchange may leave it.
    ~DownloadSink() override;

    bool begin(int status, const QHash<QByteArray, QByteArray>& headers) override;
    bool write(const char* data, qint64 size) override;
    QString failure() const override;

    // The validator of the version being written, the bytes taken (on disk once closed), the
    // file's size (-1 unknown).
    QByteArray validator() const;
    qint64 bytesOnDisk() const;
    qint64 total() const;
    // Writes what is gathered and closes the part file; a failed write becomes the failure.
    void close();

private:
    bool beginRange(const QHash<QByteArray, QByteArray>& headers);
    bool beginWhole(const QHash<QByteArray, QByteArray>& headers);
    // Whether bytes more fit after start, keeping the margin; sets the limit write() keeps to.
    bool roomFor(qint64 start, qint64 bytes);
    qint64 freeBytes() const;
    bool openPart();
    bool stop(const QString& failure);
    // After a write of size bytes that failed: the failure it stands for.
    bool stopWriting(qint64 size);
    // Writes the gathered bytes to the part file.
    bool writeGathered();
    // Starts writing out to the disk what was written since the last step.
    void startWriteOut();

    mutable QMutex m_mutex;
    const QString m_path;
    QFile m_file;
    QByteArray m_gathered;
    const qint64 m_requestedOffset;
    qint64 m_onDisk = 0;
    // Where the bytes not yet sent on to the disk begin.
    qint64 m_writtenOut = 0;
    qint64 m_total = -1;
    // The size the part file may reach.
    qint64 m_limit = 0;
    QByteArray m_validator;
    QString m_failure;
};

#endif // DOWNLOADSINK_H
