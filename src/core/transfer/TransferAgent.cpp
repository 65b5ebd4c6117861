#include "TransferAgent.h"
#include "core/CoreLogging.h"

#include "Grants.h"
#include "RangeDownload.h"
#include "SafeFileName.h"
#include "SafeFiles.h"
#include "TusUpload.h"
#include "UploadItems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
const char* const RateLimitVariable = "NORV_TRANSFER_RATE_LIMIT";
const char* const StallSecondsVariable = "NORV_TRANSFER_STALL_SECONDS";
const QString DownloadsFolder = QStringLiteral("downloads");
const QString SignInNeeded = QStringLiteral("sign-in needed");
const QString PageDownloadOnlyCancels = QStringLiteral("a download the page started can only be cancelled");
const QRegularExpression MetadataKey(QStringLiteral("^[A-Za-z0-9_.-]+$"));
const int MsPerSecond = 1000;

const char* stateName(Transfer::State state)
{
    switch (state) {
    case Transfer::State::Queued:
        return "queued";
    case Transfer::State::Running:
        return "running";
    case Transfer::State::Paused:
        return "paused";
    case Transfer::State::Done:
        return "done";
    case Transfer::State::Failed:
        return "failed";
    case Transfer::State::Cancelled:
        return "cancelled";
    }
    Q_UNREACHABLE();
    return "";
}

const char* directionName(Transfer::Direction direction)
{
    switch (direction) {
    case Transfer::Direction::Upload:
        return "upload";
    case Transfer::Direction::Download:
        return "download";
    case Transfer::Direction::Page:
        return "page";
    }
    Q_UNREACHABLE();
    return "";
}

TransferAgent::Outcome refusal(TransferAgent::Verdict verdict, const QString& error)
{
    return {verdict, error, {}};
}

bool validMetadata(const QJsonObject& metadata)
{
    for (auto entry = metadata.constBegin(); entry != metadata.constEnd(); ++entry) {
        if (!MetadataKey.match(entry.key()).hasMatch() || !entry.value().isString()) {
            return false;
        }
    }
    return true;
}

bool isHttpUrl(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty()
        && (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}
} // namespace

TransferAgent::TransferAgent(const QString& dataFolder,
                             const QString& downloadFolder,
                             const CertificateTrust* trust,
                             const Grants* grants,
                             ProxyLogin* proxyLogin,
                             QObject* parent)
    : QObject(parent)
    , m_downloadFolder(downloadFolder)
    , m_grants(grants)
    , m_store(dataFolder)
    , m_client(trust, this, proxyLogin)
    , m_progressTimer(this)
    , m_saveTimer(this)
{
    m_client.setRateLimit(qEnvironmentVariableIntValue(RateLimitVariable));
    m_client.setStallSeconds(qEnvironmentVariableIntValue(StallSecondsVariable));
    m_transfers = m_store.load(m_nextId);
    for (const auto& transfer : m_transfers) {
        // Uploads and downloads go only to and from the origin of the page that started them.
        transfer->origin = originOf(transfer->url);
        // After a restart nothing moves until the page resumes it, with fresh credentials.
        if (!transfer->hasEnded()) {
            transfer->state = Transfer::State::Paused;
            transfer->error = transfer->hadHeaders ? SignInNeeded : QString();
        }
    }
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &TransferAgent::reportProgress);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(SaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &TransferAgent::save);
}

TransferAgent::~TransferAgent()
{
    if (m_saveTimer.isActive()) {
        save();
    }
    const auto jobs = m_jobs.keys();
    qDeleteAll(jobs);
}

QString TransferAgent::originOf(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    const int defaultPort = scheme == QLatin1String("https") ? 443 : 80;
    const int port = url.port(defaultPort);
    QString origin = scheme + QStringLiteral("://") + url.host().toLower();
    if (port != defaultPort) {
        origin += QLatin1Char(':') + QString::number(port);
    }
    return origin;
}

TransferAgent::Outcome TransferAgent::startUpload(const QString& path,
                                                  const QUrl& endpoint,
                                                  const QJsonObject& metadata,
                                                  const HeaderList& headers,
                                                  const QString& origin)
{
    if (!isHttpUrl(endpoint) || !validMetadata(metadata)) {
        return refusal(Verdict::Invalid, QStringLiteral("invalid endpoint or metadata"));
    }
    if (originOf(endpoint) != origin) {
        return refusal(Verdict::Forbidden, QStringLiteral("uploads go only to the page's own origin"));
    }
    if (!QFileInfo(path).isAbsolute() || !m_grants->mayUpload(origin, path)) {
        return refusal(Verdict::Forbidden, QStringLiteral("the path was not handed over"));
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->direction = Transfer::Direction::Upload;
    transfer->name = QFileInfo(path).fileName();
    transfer->url = endpoint;
    transfer->origin = origin;
    transfer->metadata = metadata;
    transfer->headers = headers;
    transfer->hadHeaders = !headers.isEmpty();
    transfer->items = UploadItems::collect(path);
    if (transfer->items.isEmpty()) {
        return refusal(Verdict::Invalid, QStringLiteral("nothing to upload at that path"));
    }
    return added(std::move(transfer));
}

TransferAgent::Outcome TransferAgent::startDownload(
    const QUrl& url, const QString& name, const QString& folder, const HeaderList& headers, const QString& origin)
{
    if (!isHttpUrl(url)) {
        return refusal(Verdict::Invalid, QStringLiteral("invalid url"));
    }
    if (originOf(url) != origin) {
        return refusal(Verdict::Forbidden, QStringLiteral("downloads come only from the page's own origin"));
    }
    const bool downloads = folder == DownloadsFolder;
    if (!downloads && !m_grants->mayDownloadInto(origin, folder)) {
        return refusal(Verdict::Forbidden, QStringLiteral("that folder was not chosen in the agent's dialog"));
    }
    const QString target = downloads ? m_downloadFolder : QFileInfo(folder).canonicalFilePath();
    const QString proposed = name.isEmpty() ? QFileInfo(url.path()).fileName() : name;
    TransferItem item;
    QString error;
    item.path = claimDownloadPath(target, proposed, &error);
    if (item.path.isEmpty()) {
        return refusal(Verdict::Invalid, error);
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->direction = Transfer::Direction::Download;
    transfer->name = QFileInfo(item.path).fileName();
    transfer->url = url;
    transfer->origin = origin;
    transfer->headers = headers;
    transfer->hadHeaders = !headers.isEmpty();
    transfer->items = {item};
    return added(std::move(transfer));
}

QString TransferAgent::claimDownloadPath(const QString& folder, const QString& proposed, QString* error)
{
    QDir().mkpath(folder);
    const QString path = SafeFileName::unusedPath(folder, SafeFileName::sanitize(proposed));
    // Holds the name while the bytes arrive, so a second download picks another. Made only
    // where nothing stood: a link planted under the name would take the bytes elsewhere.
    QString reason;
    QFile part;
    const int descriptor = SafeFiles::createNew(path + SafeFileName::PartSuffix, &reason);
    if (descriptor < 0 || !part.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *error = QStringLiteral("cannot write into the folder: %1").arg(reason);
        return {};
    }
    return path;
}

TransferAgent::PageDownload
TransferAgent::addPageDownload(const QString& proposedName, const QUrl& url, qint64 bytesTotal, const QString& origin)
{
    const QString proposed = proposedName.isEmpty() ? QFileInfo(url.path()).fileName() : proposedName;
    TransferItem item;
    QString error;
    item.path = claimDownloadPath(m_downloadFolder, proposed, &error);
    if (item.path.isEmpty()) {
        qCWarning(lcTransfer).noquote() << "a download of the page was refused:" << error;
        return {};
    }
    item.size = qMax<qint64>(0, bytesTotal);
    auto transfer = std::make_unique<Transfer>();
    transfer->direction = Transfer::Direction::Page;
    transfer->name = QFileInfo(item.path).fileName();
    transfer->url = url;
    transfer->origin = origin;
    transfer->items = {item};
    // The engine writes the part file from the start.
    transfer->state = Transfer::State::Running;
    const QString id = added(std::move(transfer)).transfer.value(QStringLiteral("id")).toString();
    return {id, item.path + SafeFileName::PartSuffix};
}

void TransferAgent::pageDownloadProgress(const QString& id, qint64 bytesDone, qint64 bytesTotal)
{
    Transfer* transfer = find(id);
    if (!transfer || transfer->state != Transfer::State::Running) {
        return;
    }
    TransferItem& item = transfer->items.first();
    item.offset = bytesDone;
    item.size = qMax(bytesTotal, bytesDone);
    // Reported with the agent's own transfers, at the same pace.
    if (!m_progressTimer.isActive()) {
        m_sinceReport.start();
        m_progressTimer.start();
    }
}

void TransferAgent::pageDownloadEnded(const QString& id, const QString& error)
{
    Transfer* transfer = find(id);
    if (!transfer || transfer->hasEnded()) {
        return;
    }
    TransferItem& item = transfer->items.first();
    const QString part = item.path + SafeFileName::PartSuffix;
    // A name taken while the engine wrote gives way to the next free one.
    QString reason;
    const QString path = error.isEmpty() ? SafeFiles::finish(part, item.path, &reason) : QString();
    if (!path.isEmpty()) {
        item.path = path;
        item.size = QFileInfo(item.path).size();
        item.offset = item.size;
        item.done = true;
        setState(*transfer, Transfer::State::Done);
    } else {
        QFile::remove(part);
        setState(*transfer,
                 Transfer::State::Failed,
                 error.isEmpty() ? QStringLiteral("cannot give the file its name: %1").arg(reason) : error);
    }
    schedule();
}

TransferAgent::Outcome TransferAgent::added(std::unique_ptr<Transfer> transfer)
{
    transfer->id = QStringLiteral("t%1").arg(m_nextId++);
    Transfer& added = *transfer;
    m_transfers.push_back(std::move(transfer));
    qCDebug(lcTransfer).noquote() << "transfer" << added.id << added.url.toString(QUrl::RemoveQuery) << "with"
                                  << added.items.size() << "files";
    save();
    emit transferChanged(toJson(added), true, added.origin);
    schedule();
    return {Verdict::Ok, QString(), toJson(added)};
}

QJsonArray TransferAgent::list() const
{
    return listWhere([](const Transfer&) { return true; });
}

QJsonArray TransferAgent::listOf(const QString& origin) const
{
    return listWhere([&origin](const Transfer& transfer) { return transfer.origin == origin; });
}

QJsonArray TransferAgent::listWhere(const std::function<bool(const Transfer&)>& accept) const
{
    QJsonArray transfers;
    for (const auto& transfer : m_transfers) {
        if (accept(*transfer)) {
            transfers.append(toJson(*transfer));
        }
    }
    return transfers;
}

bool TransferAgent::belongsTo(const QString& id, const QString& origin) const
{
    const Transfer* transfer = find(id);
    return transfer && transfer->origin == origin;
}

TransferAgent::Outcome TransferAgent::pause(const QString& id)
{
    Transfer* transfer = find(id);
    if (!transfer) {
        return refusal(Verdict::NotFound, QStringLiteral("no such transfer"));
    }
    if (transfer->direction == Transfer::Direction::Page) {
        return refusal(Verdict::Conflict, PageDownloadOnlyCancels);
    }
    if (!transfer->hasEnded() && transfer->state != Transfer::State::Paused) {
        stopJobs(*transfer);
        setState(*transfer, Transfer::State::Paused);
        schedule();
    }
    return {Verdict::Ok, QString(), toJson(*transfer)};
}

TransferAgent::Outcome TransferAgent::resume(const QString& id, const HeaderList* headers)
{
    Transfer* transfer = find(id);
    if (!transfer) {
        return refusal(Verdict::NotFound, QStringLiteral("no such transfer"));
    }
    if (transfer->direction == Transfer::Direction::Page) {
        return refusal(Verdict::Conflict, PageDownloadOnlyCancels);
    }
    if (headers) {
        transfer->headers = *headers;
        transfer->hadHeaders = transfer->hadHeaders || !headers->isEmpty();
    }
    if (transfer->state == Transfer::State::Paused || transfer->state == Transfer::State::Failed) {
        if (transfer->hadHeaders && transfer->headers.isEmpty()) {
            setState(*transfer, Transfer::State::Paused, SignInNeeded);
        } else {
            setState(*transfer, Transfer::State::Queued);
            schedule();
        }
    }
    return {Verdict::Ok, QString(), toJson(*transfer)};
}

TransferAgent::Outcome TransferAgent::cancel(const QString& id)
{
    Transfer* transfer = find(id);
    if (!transfer) {
        return refusal(Verdict::NotFound, QStringLiteral("no such transfer"));
    }
    if (transfer->hasEnded()) {
        return {Verdict::Ok, QString(), toJson(*transfer)};
    }
    stopJobs(*transfer);
    for (const TransferItem& item : transfer->items) {
        if (transfer->direction == Transfer::Direction::Upload && !item.done && !item.uploadUrl.isEmpty()) {
            TusUpload::terminate(m_client, QUrl(item.uploadUrl), transfer->headers);
        } else if (transfer->direction != Transfer::Direction::Upload && !item.done) {
            QFile::remove(item.path + SafeFileName::PartSuffix);
        }
    }
    if (transfer->direction == Transfer::Direction::Page) {
        emit pageDownloadCancelled(id);
    }
    setState(*transfer, Transfer::State::Cancelled);
    schedule();
    return {Verdict::Ok, QString(), toJson(*transfer)};
}

TransferAgent::Outcome TransferAgent::forget(const QString& id)
{
    Transfer* transfer = find(id);
    if (!transfer) {
        return refusal(Verdict::NotFound, QStringLiteral("no such transfer"));
    }
    if (!transfer->hasEnded()) {
        return refusal(Verdict::Conflict, QStringLiteral("the transfer has not ended"));
    }
    const QString origin = transfer->origin;
    m_transfers.erase(std::find_if(
        m_transfers.begin(), m_transfers.end(), [transfer](const auto& held) { return held.get() == transfer; }));
    m_reportedBytes.remove(id);
    save();
    emit transferRemoved(id, origin);
    return {};
}

void TransferAgent::pauseAll()
{
    for (const auto& transfer : m_transfers) {
        if (transfer->isMoving() && transfer->direction != Transfer::Direction::Page) {
            stopJobs(*transfer);
            setState(*transfer, Transfer::State::Paused);
        }
    }
}

QString TransferAgent::localPath(const QString& id) const
{
    const Transfer* transfer = find(id);
    if (!transfer) {
        return {};
    }
    const TransferItem& first = transfer->items.first();
    if (first.relativePath.isEmpty()) {
        return first.path;
    }
    // A folder's upload: the folder the user handed over.
    return first.path.left(first.path.size() - first.relativePath.size())
        + first.relativePath.section(QLatin1Char('/'), 0, 0);
}

Transfer* TransferAgent::find(const QString& id) const
{
    for (const auto& transfer : m_transfers) {
        if (transfer->id == id) {
            return transfer.get();
        }
    }
    return nullptr;
}

Transfer* TransferAgent::transferOf(const TransferJob* job) const
{
    return find(m_jobs.value(const_cast<TransferJob*>(job)));
}

QJsonObject TransferAgent::toJson(const Transfer& transfer) const
{
    qint64 bytesDone = transfer.bytesDone();
    for (auto job = m_jobs.constBegin(); job != m_jobs.constEnd(); ++job) {
        if (job.value() == transfer.id) {
            bytesDone += job.key()->liveItem().offset - transfer.items.at(job.key()->itemIndex()).offset;
        }
    }
    return {
        {QStringLiteral("id"), transfer.id},
        {QStringLiteral("direction"), QLatin1String(directionName(transfer.direction))},
        {QStringLiteral("name"), transfer.name},
        {QStringLiteral("state"), QLatin1String(stateName(transfer.state))},
        {QStringLiteral("bytesDone"), static_cast<double>(bytesDone)},
        {QStringLiteral("bytesTotal"), static_cast<double>(transfer.bytesTotal())},
        {QStringLiteral("filesDone"), transfer.filesDone()},
        {QStringLiteral("filesTotal"), transfer.items.size()},
        {QStringLiteral("bytesPerSecond"), static_cast<double>(transfer.bytesPerSecond)},
        {QStringLiteral("error"), transfer.error},
    };
}

void TransferAgent::schedule()
{
    int active = m_jobs.size();
    for (const auto& transfer : m_transfers) {
        // The web engine moves a page's downloads.
        if (!transfer->isMoving() || transfer->direction == Transfer::Direction::Page) {
            continue;
        }
        const QList<TransferJob*> running = m_jobs.keys(transfer->id);
        for (int index = transfer->firstUndone(); index < transfer->items.size() && active < MaxActiveSmallFiles;
             ++index) {
            const bool busy = std::any_of(running.cbegin(), running.cend(), [index](const TransferJob* job) {
                return job->itemIndex() == index;
            });
            if (transfer->items.at(index).done || busy) {
                continue;
            }
            // Files start in order: a large one waits for room rather than let small ones pass it.
            if (active >= activeLimit(*transfer, transfer->items.at(index))) {
                break;
            }
            startJob(*transfer, index);
            ++active;
        }
        if (transfer->state == Transfer::State::Queued && !m_jobs.keys(transfer->id).isEmpty()) {
            setState(*transfer, Transfer::State::Running);
        }
    }
    if (m_jobs.isEmpty()) {
        m_progressTimer.stop();
    } else if (!m_progressTimer.isActive()) {
        m_sinceReport.start();
        m_progressTimer.start();
    }
}

int TransferAgent::activeLimit(const Transfer& transfer, const TransferItem& item)
{
    const bool small = transfer.direction == Transfer::Direction::Upload && item.size <= TusUpload::SmallFileBytes;
    return small ? MaxActiveSmallFiles : MaxActiveFiles;
}

void TransferAgent::startJob(Transfer& transfer, int itemIndex)
{
    TransferJob* job = nullptr;
    if (transfer.direction == Transfer::Direction::Upload) {
        std::shared_ptr<TusServerOptions>& options = m_serverOptions[transfer.url.toString()];
        if (!options) {
            options = std::make_shared<TusServerOptions>();
        }
        job = new TusUpload(m_client, transfer, itemIndex, options, this);
    } else {
        job = new RangeDownload(m_client, transfer, itemIndex, this);
    }
    m_jobs.insert(job, transfer.id);
    connect(job, &TransferJob::finished, this, [this, job](const QString& error) { onJobFinished(job, error); });
    connect(job, &TransferJob::checkpoint, this, [this, job](const TransferItem& item) { onCheckpoint(job, item); });
    job->start();
}

void TransferAgent::stopJobs(const Transfer& transfer)
{
    for (TransferJob* job : m_jobs.keys(transfer.id)) {
        job->stop();
        onCheckpoint(job, job->resumePoint());
        m_jobs.remove(job);
        job->deleteLater();
    }
}

void TransferAgent::onCheckpoint(TransferJob* job, const TransferItem& item)
{
    Transfer* transfer = transferOf(job);
    if (!transfer) {
        return;
    }
    TransferItem& stored = transfer->items[job->itemIndex()];
    // Without the address of an upload that has bytes still to send, a restart would send
    // them all again. Every other step a restart finds out anew (HEAD, or the part file's
    // size), so it can wait a little.
    const bool urgent = item.uploadUrl != stored.uploadUrl && !item.uploadUrl.isEmpty() && item.offset < item.size;
    stored = item;
    if (urgent) {
        save();
    } else if (!m_saveTimer.isActive()) {
        m_saveTimer.start();
    }
}

void TransferAgent::onJobFinished(TransferJob* job, const QString& error)
{
    Transfer* transfer = transferOf(job);
    m_jobs.remove(job);
    job->deleteLater();
    if (!transfer) {
        return;
    }
    if (!error.isEmpty()) {
        qCDebug(lcTransfer).noquote() << "transfer" << transfer->id << "failed:" << error;
        stopJobs(*transfer);
        setState(*transfer, Transfer::State::Failed, error);
    } else if (transfer->allDone()) {
        setState(*transfer, Transfer::State::Done);
    }
    schedule();
}

void TransferAgent::setState(Transfer& transfer, Transfer::State state, const QString& error)
{
    transfer.state = state;
    transfer.error = error;
    transfer.bytesPerSecond = 0;
    save();
    emit transferChanged(toJson(transfer), true, transfer.origin);
}

void TransferAgent::reportProgress()
{
    const qint64 elapsedMs = qMax<qint64>(1, m_sinceReport.restart());
    for (const auto& transfer : m_transfers) {
        if (transfer->state != Transfer::State::Running) {
            continue;
        }
        const qint64 bytes = static_cast<qint64>(toJson(*transfer).value(QStringLiteral("bytesDone")).toDouble());
        const qint64 before = m_reportedBytes.value(transfer->id, bytes);
        m_reportedBytes.insert(transfer->id, bytes);
        const qint64 speed = qMax<qint64>(0, bytes - before) * MsPerSecond / elapsedMs;
        if (bytes != before || speed != transfer->bytesPerSecond) {
            transfer->bytesPerSecond = speed;
            emit transferChanged(toJson(*transfer), false, transfer->origin);
        }
    }
    // A download's validator and size become known while it runs; a crash must not lose them.
    for (auto job = m_jobs.constBegin(); job != m_jobs.constEnd(); ++job) {
        Transfer* transfer = find(job.value());
        TransferItem& stored = transfer->items[job.key()->itemIndex()];
        const TransferItem live = job.key()->liveItem();
        if (transfer->direction == Transfer::Direction::Download && live.validator != stored.validator) {
            stored.validator = live.validator;
            stored.size = live.size;
            save();
        }
    }
}

void TransferAgent::save()
{
    m_saveTimer.stop();
    m_store.save(m_transfers, m_nextId);
}
