#ifndef TRANSFERAGENT_H
#define TRANSFERAGENT_H

#include "HttpClient.h"
#include "Transfer.h"
#include "TransferStore.h"
#include "TusServerOptions.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class CertificateTrust;
class Grants;
class ProxyLogin;
class TransferJob;

// Moves files between the disk and the portal server for the page: uploads with tus,
// downloads with HTTP GET, at most MaxActiveFiles at once (MaxActiveSmallFiles while small
// uploads start). Lives on a thread of its own; the local HTTP service reaches it through call().
class TransferAgent : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxActiveFiles = 4;
    // A small upload is one request, mostly spent waiting for the server's answer: more of
    // them at once keep the server busy. One connection each.
    static constexpr int MaxActiveSmallFiles = 16;
    // Progress is reported at most this often per transfer.
    static constexpr int ProgressIntervalMs = 250;
    // Checkpoints that can wait are written together, at most this long after the first.
    // transfers.json holds every file of every transfer: writing it for each small file
    // of a large folder would cost time growing with the square of the folder's size.
    static constexpr int SaveDelayMs = 1000;

    enum class Verdict { Ok, Forbidden, Invalid, NotFound, Conflict };
    struct Outcome
    {
        Verdict verdict = Verdict::Ok;
        QString error;
        QJsonObject transfer;
    };

    // dataFolder holds transfers.json; downloadFolder is the user's Downloads folder.
    TransferAgent(const QString& dataFolder,
                  const QString& downloadFolder,
                  const CertificateTrust* trust,
                  const Grants* grants,
                  ProxyLogin* proxyLogin = nullptr,
                  QObject* parent = nullptr);
    ~TransferAgent() override;

    // Runs f on the agent's thread and returns its result; from the agent's own thread it runs at once.
    template<typename F>
    auto call(F f) -> decltype(f())
    {
        if (QThread::currentThread() == thread()) {
            return f();
        }
        decltype(f()) result;
        QMetaObject::invokeMethod(
            this, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }

    // The page's requests. origin: the asking page's origin, "scheme://host[:port]".
    Outcome startUpload(const QString& path,
                        const QUrl& endpoint,
                        const QJsonObject& metadata,
                        const HeaderList& headers,
                        const QString& origin);
    Outcome startDownload(
        const QUrl& url, const QString& name, const QString& folder, const HeaderList& headers, const QString& origin);
    // Every transfer, as the shell shows them.
    QJsonArray list() const;
    // The transfers a page of origin started.
    QJsonArray listOf(const QString& origin) const;
    // Whether a page of origin started the transfer id; no other page may see or control it.
    bool belongsTo(const QString& id, const QString& origin) const;
    Outcome pause(const QString& id);
    // headers: fresh header fields, or none to keep the present ones.
    Outcome resume(const QString& id, const HeaderList* headers);
    Outcome cancel(const QString& id);
    Outcome forget(const QString& id);

    // Pauses every transfer that runs or waits and saves its resume point, before the client quits.
    void pauseAll();
    // The file or folder a transfer moved; empty for an unknown id.
    QString localPath(const QString& id) const;

    // Downloads the page started itself: the web engine writes partPath, and the agent lists
    // them with the direction "page". An empty id when the Downloads folder cannot be written.
    struct PageDownload
    {
        QString id;
        QString partPath;
    };
    // origin: that of the page that started it.
    PageDownload
    addPageDownload(const QString& proposedName, const QUrl& url, qint64 bytesTotal, const QString& origin);
    void pageDownloadProgress(const QString& id, qint64 bytesDone, qint64 bytesTotal);
    // error: empty when the engine wrote the whole file, which then takes its final name.
    void pageDownloadEnded(const QString& id, const QString& error);

    static QString originOf(const QUrl& url);

signals:
    // A transfer's figures moved (stateChanged false) or its state changed (true).
    // origin: the transfer's, whose pages alone may hear of it.
    void transferChanged(const QJsonObject& transfer, bool stateChanged, const QString& origin);
    void transferRemoved(const QString& id, const QString& origin);
    // The page's cancel reached a download the web engine moves: the engine must stop it.
    void pageDownloadCancelled(const QString& id);

private:
    Transfer* find(const QString& id) const;
    QJsonArray listWhere(const std::function<bool(const Transfer&)>& accept) const;
    Outcome added(std::unique_ptr<Transfer> transfer);
    QJsonObject toJson(const Transfer& transfer) const;
    void schedule();
    // How many files may move at once while item is the next to start.
    static int activeLimit(const Transfer& transfer, const TransferItem& item);
    void startJob(Transfer& transfer, int itemIndex);
    void stopJobs(const Transfer& transfer);
    void onJobFinished(TransferJob* job, const QString& error);
    void onCheckpoint(TransferJob* job, const TransferItem& item);
    void setState(Transfer& transfer, Transfer::State state, const QString& error = QString());
    void reportProgress();
    void save();
    Transfer* transferOf(const TransferJob* job) const;
    // The Downloads folder's next free name for proposed, held by its part file; empty when unwritable.
    QString claimDownloadPath(const QString& folder, const QString& proposed, QString* error);

    const QString m_downloadFolder;
    const Grants* const m_grants;
    TransferStore m_store;
    HttpClient m_client;
    std::vector<std::unique_ptr<Transfer>> m_transfers;
    // Running jobs and the id of their transfer.
    QHash<TransferJob*, QString> m_jobs;
    QHash<QString, std::shared_ptr<TusServerOptions>> m_serverOptions;
    QHash<QString, qint64> m_reportedBytes;
    QTimer m_progressTimer;
    QTimer m_saveTimer;
    QElapsedTimer m_sinceReport;
    int m_nextId = 1;
};

#endif // TRANSFERAGENT_H
