#ifndef TUSUPLOAD_H
#define TUSUPLOAD_H

#include "TransferJob.h"
#include "TusRequestSize.h"
#include "TusServerOptions.h"

#include <QElapsedTimer>
#include <memory>

// One file sent as one tus 1.0.0 upload: created (with its first bytes when small and
// the server allows), then sent in large requests from the offset the server confirmed,
// each sized by the speed of the one before.
// A stored upload URL is resumed through HEAD, never restarted while the server keeps it.
class TusUpload : public TransferJob
{
    Q_OBJECT

public:
    // Files up to this size are created and sent in one request.
    static constexpr qint64 SmallFileBytes = 1024 * 1024;

    TusUpload(HttpClient& client,
              const Transfer& transfer,
              int itemIndex,
              std::shared_ptr<TusServerOptions> options,
              QObject* parent = nullptr);

    void start() override;

    // Asks the server to remove the upload (termination); fire and forget.
    static void terminate(HttpClient& client, const QUrl& uploadUrl, const HeaderList& headers);

private:
    void askOptions();
    void create();
    void onCreated(const HttpExchangeResult& result, qint64 sent);
    void askOffset();
    void onOffset(const HttpExchangeResult& result);
    void sendChunk();
    void onChunkSent(const HttpExchangeResult& result, qint64 sent);
    void continueOrFinish();
    void restartUpload();
    void failChanged();
    bool fileUnchanged();
    // Takes the server's offset when it is a number from 0 to maximum.
    bool acceptOffset(const QByteArray& value, qint64 maximum);
    QByteArray encodedMetadata() const;
    QByteArray checksumOf(qint64 offset, qint64 length) const;
    HttpExchangeRequest request(const QByteArray& method, const QUrl& url) const;
    HttpExchangeRequest withBody(HttpExchangeRequest request, qint64 length) const;

    std::shared_ptr<TusServerOptions> m_options;
    TusRequestSize m_requestSize;
    QElapsedTimer m_requestTimer;
};

#endif // TUSUPLOAD_H
