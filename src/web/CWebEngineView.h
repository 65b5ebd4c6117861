#ifndef CWEBENGINEVIEW_H
#define CWEBENGINEVIEW_H

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
};

#endif // CWEBENGINEVIEW_H
