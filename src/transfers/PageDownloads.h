#ifndef PAGEDOWNLOADS_H
#define PAGEDOWNLOADS_H

#include <QHash>
#include <QObject>
#include <QPointer>

class QWebEngineDownloadItem;
class QWebEngineProfile;
class TransferAgent;

// Downloads the portal page starts itself: a download link, <a download>, or an answer with
// Content-Disposition: attachment. The web engine fetches them, so the page's session
// applies; the transfer agent names them in the Downloads folder, lists them and cancels them.
class PageDownloads : public QObject
{
    Q_OBJECT

public:
    explicit PageDownloads(QObject* parent = nullptr);

    // Until the agent exists, the page's downloads are refused.
    void setAgent(TransferAgent* agent);
    // Takes the downloads of every page shown in profile.
    void watch(QWebEngineProfile* profile);

private:
    void accept(QWebEngineDownloadItem* item);
    void follow(QWebEngineDownloadItem* item, const QString& id);
    void ended(QWebEngineDownloadItem* item, const QString& id);
    void cancel(const QString& id);

    TransferAgent* m_agent = nullptr;
    // The engine's downloads by transfer id.
    QHash<QString, QPointer<QWebEngineDownloadItem>> m_items;
};

#endif // PAGEDOWNLOADS_H
