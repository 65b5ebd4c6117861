#ifndef CWEBENGINEVIEW_H
#define CWEBENGINEVIEW_H

#include <QScopeGuard>
#include <QWebEngineView>

class QMenu;

// The view showing the portal inside the main window. Local files and folders dropped
// on it are announced to the page, and it offers a fixed, translated context menu.
class CWebEngineView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit CWebEngineView(QWidget* parent = nullptr);

    // Builds the context menu from the page's own actions; call once, after setPage.
    void initContextMenu();
    // Texts of the context menu in the current language.
    void retranslateMenu();

    // The script that tells the page about one dropped item.
    static QString dropScript(const QString& kind, const QString& path);

    // Runs run, which holds one of the view's own modal loops (its context menu, or a dialog
    // or the file chooser of its page), and returns what run returns.
    template<typename Run>
    auto runOwnLoop(Run run) -> decltype(run())
    {
        ++m_ownLoops;
        const auto ended = qScopeGuard([this] { ownLoopEnded(); });
        return run();
    }
    // Deletes the page, then the view. Inside one of the view's own loops the view is only
    // hidden, and both go once that loop has returned.
    void dispose();

    QMenu* contextMenu = nullptr;
    QAction* actCopy = nullptr;
    QAction* actPaste = nullptr;
    QAction* actCut = nullptr;
    QAction* actSelectAll = nullptr;
    QAction* actBack = nullptr;
    QAction* actForward = nullptr;
    QAction* actReload = nullptr;

public slots:
    void Slot_UrlChanged(QUrl url);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void ownLoopEnded();

    int m_ownLoops = 0;
    bool m_disposed = false;
};

#endif // CWEBENGINEVIEW_H
