#ifndef RANGEDOWNLOAD_H
#define RANGEDOWNLOAD_H

#include "TransferJob.h"

#include <memory>

class DownloadSink;

// One file fetched with GET into "name.ext.part", resumed with Range and If-Range, and
// renamed to its final name only when complete.
class RangeDownload : public TransferJob
{
    Q_OBJECT

public:
    RangeDownload(HttpClient& client, const Transfer& transfer, int itemIndex, QObject* parent = nullptr);

    void start() override;
    // Also closes the part file, so that it holds every byte taken before the stop.
    void stop() override;
    TransferItem liveItem() const override;
    // The bytes on disk are the resume point.
    TransferItem resumePoint() const override { return liveItem(); }

private:
    void onAnswer(const HttpExchangeResult& result);
    void finishFile();
    QString partPath() const;

    std::shared_ptr<DownloadSink> m_sink;
};

#endif // RANGEDOWNLOAD_H
