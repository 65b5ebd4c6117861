#include "CWebEngineView.h"
#include "app/Logging.h"

#include "JavaScript.h"
#include "app/CMainWindow.h"
#include "core/TesselPortal.h"
#include "i18n/CTextTable.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

namespace {
const QString UriListFormat = QStringLiteral("text/uri-list");
const QString DropFunction = QStringLiteral("TesselDrage");
const QString FolderKind = QStringLiteral("folder");
const QString FileKind = QStringLiteral("file");
} // namespace

CWebEngineView::CWebEngineView(QWidget* parent)
    : QWebEngineView(parent)
{
    connect(this, &QWebEngineView::urlChanged, this, &CWebEngineView::Slot_UrlChanged);
    setAcceptDrops(true);
}

void CWebEngineView::initContextMenu()
{
    qCDebug(lcWeb) << "initContextMenu" << page();
    contextMenu = new QMenu(this);
    contextMenu->setStyleSheet(QStringLiteral("QMenu{font-size:13px}"));
    actCopy = pageAction(QWebEnginePage::Copy);
    actPaste = pageAction(QWebEnginePage::Paste);
    actCut = pageAction(QWebEnginePage::Cut);
    actSelectAll = pageAction(QWebEnginePage::SelectAll);
    actBack = pageAction(QWebEnginePage::Back);
    actForward = pageAction(QWebEnginePage::Forward);
    actReload = pageAction(QWebEnginePage::Reload);
    contextMenu->addAction(actBack);
    contextMenu->addAction(actForward);
    contextMenu->addAction(actReload);
    contextMenu->addSeparator();
    contextMenu->addAction(actCopy);
    contextMenu->addAction(actPaste);
    contextMenu->addAction(actCut);
    contextMenu->addAction(actSelectAll);
    // No texts here: a view keeps the engine's own texts until the next language switch, as meant.
}

void CWebEngineView::retranslateMenu()
{
    const CTextTable* texts = mainWindowInstance->textTable;
    actCopy->setText(texts->Copy);
    actPaste->setText(texts->Paste);
    actCut->setText(texts->Cut);
    actSelectAll->setText(texts->SelectAll);
    actBack->setText(texts->Back);
    actForward->setText(texts->Forward);
    actReload->setText(texts->Reload);
}

void CWebEngineView::Slot_UrlChanged(QUrl) { }

void CWebEngineView::contextMenuEvent(QContextMenuEvent*)
{
    // The page disables Reload while loading; reloading a stuck page is exactly when it is wanted.
    actReload->setEnabled(true);
    runOwnLoop([this] { contextMenu->exec(QCursor::pos()); });
}

void CWebEngineView::dragEnterEvent(QDragEnterEvent* event)
{
    event->accept();
    QWebEngineView::dragEnterEvent(event);
    if (event->mimeData()->hasFormat(UriListFormat)) {
        event->acceptProposedAction();
    }
}

QString CWebEngineView::dropScript(const QString& kind, const QString& path)
{
    return JavaScript::call(DropFunction, {kind, path});
}

void CWebEngineView::dropEvent(QDropEvent* event)
{
    QWebEngineView::dropEvent(event);
    const QList<QUrl> urls = event->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QString path = url.toLocalFile();
        const QString kind = QFileInfo(path).isDir() ? FolderKind : FileKind;
        // The page cannot read a local path; the transfer agent may now upload it for the page.
        if (!path.isEmpty()) {
            mainWindowInstance->portal->grantDroppedPath(path);
        }
        page()->runJavaScript(dropScript(kind, path));
    }
}

void CWebEngineView::dispose()
{
    if (m_ownLoops > 0) {
        // Deleted now, the loop would return into a view and a page that are gone.
        m_disposed = true;
        hide();
        return;
    }
    delete page();
    delete this;
}

void CWebEngineView::ownLoopEnded()
{
    if (--m_ownLoops == 0 && m_disposed) {
        // Still inside the handler that ran the loop: both go once it has returned.
        page()->deleteLater();
        deleteLater();
    }
}
