#include "PageDownloads.h"
#include "app/Logging.h"

#include "core/transfer/TransferAgent.h"

#include <QFileInfo>
#include <QWebEngineDownloadItem>
#include <QWebEnginePage>
#include <QWebEngineProfile>

PageDownloads::PageDownloads(QObject* parent)
    : QObject(parent)
{
}

void PageDownloads::setAgent(TransferAgent* agent)
{
    m_agent = agent;
    // The agent's thread asks; the engine's item lives here, on the GUI thread.
    connect(agent, &TransferAgent::pageDownloadCancelled, this, &PageDownloads::cancel, Qt::QueuedConnection);
}

void PageDownloads::watch(QWebEngineProfile* profile)
{
    connect(profile, &QWebEngineProfile::downloadRequested, this, &PageDownloads::accept);
}

void PageDownloads::accept(QWebEngineDownloadItem* item)
{
    // An item left unaccepted is cancelled by the engine once this returns.
    if (!m_agent || item->state() != QWebEngineDownloadItem::DownloadRequested) {
        qCWarning(lcApp) << "a download of the page was refused: no transfer agent";
        return;
    }
    const QString name = item->downloadFileName();
    const QUrl url = item->url();
    const qint64 total = item->totalBytes();
    // Only pages of the origin that started it may see and control it.
    const QString origin = TransferAgent::originOf(item->page() ? item->page()->url() : url);
    const TransferAgent::PageDownload download =
        m_agent->call([&] { return m_agent->addPageDownload(name, url, total, origin); });
    if (download.id.isEmpty()) {
        return;
    }
    const QFileInfo part(download.partPath);
    item->setDownloadDirectory(part.absolutePath());
    item->setDownloadFileName(part.fileName());
    follow(item, download.id);
    item->accept();
}

void PageDownloads::follow(QWebEngineDownloadItem* item, const QString& id)
{
    m_items.insert(id, item);
    connect(item, &QWebEngineDownloadItem::downloadProgress, this, [this, id](qint64 received, qint64 total) {
        TransferAgent* agent = m_agent;
        QMetaObject::invokeMethod(
            agent,
            [agent, id, received, total] { agent->pageDownloadProgress(id, received, total); },
            Qt::QueuedConnection);
    });
    connect(item, &QWebEngineDownloadItem::finished, this, [this, item, id] { ended(item, id); });
}

void PageDownloads::ended(QWebEngineDownloadItem* item, const QString& id)
{
    m_items.remove(id);
    QString error;
    if (item->state() == QWebEngineDownloadItem::DownloadCancelled) {
        error = QStringLiteral("cancelled");
    } else if (item->state() != QWebEngineDownloadItem::DownloadCompleted) {
        error = item->interruptReasonString();
    }
    TransferAgent* agent = m_agent;
    QMetaObject::invokeMethod(
        agent, [agent, id, error] { agent->pageDownloadEnded(id, error); }, Qt::QueuedConnection);
}

void PageDownloads::cancel(const QString& id)
{
    if (QWebEngineDownloadItem* item = m_items.take(id)) {
        item->cancel();
    }
}
