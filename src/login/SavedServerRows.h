#ifndef SAVEDSERVERROWS_H
#define SAVEDSERVERROWS_H

#include <QList>
#include <QString>

class QAction;
class CLoginUI;
class ItemWidgetFile;

// The saved servers of the server selection window: each one is a row of its popup list and
// an entry of the Server menu, kept in the order of the main window's serverList.
class SavedServerRows
{
public:
    explicit SavedServerRows(CLoginUI* window);

    void addRow(const QString& name, const QString& url);
    // Saves a server after its first successful login; an address already saved changes nothing.
    void addServer(const QString& name, const QString& url);
    // The delete button of row: takes its server out of the list, the file, the rows and the menu.
    void deleteServerOfRow(const ItemWidgetFile* row);
    // Removes the menu entry and the row of a server already taken out of serverList.
    // With row given, that very row goes (and the matching copy of the menu entry).
    void removeServer(const QString& url, const ItemWidgetFile* row);

    // The delete buttons' names, in the current language.
    void retranslate();

    // The per-server entries of the Server menu: every entry but the last, ExitServer.
    static QList<QAction*> serverActions();
    // Tool tips guess whether their text is markup; a server's alias and address are shown as typed, on one line.
    static QString plainToolTip(const QString& text);

private:
    int rowOf(const ItemWidgetFile* row) const;
    int firstRowOf(const QString& url) const;
    // How many rows before rowIndex show the same address: picks the matching menu entry.
    int copiesBefore(const QString& url, int rowIndex) const;
    void removeMenuEntry(const QString& url, int copy);
    // Forgets the certificates trusted for url's host once no saved server names it.
    void forgetCertificates(const QString& url) const;
    ItemWidgetFile* rowWidget(int index) const;
    static void nameDeleteButton(ItemWidgetFile* row);

    CLoginUI* window;
};

#endif // SAVEDSERVERROWS_H
