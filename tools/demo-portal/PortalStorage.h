#ifndef PORTALSTORAGE_H
#define PORTALSTORAGE_H

#include <QJsonArray>
#include <QString>

#include <memory>

class QTemporaryDir;

// The data folder: where finished uploads land, what the file list shows and downloads
// come from. Paths from outside are relative, with '/' between names; they are checked
// here so that nothing ever reaches beyond the folder. Uploads still in progress live in
// a hidden folder inside it, so finishing one is a rename.
class PortalStorage
{
public:
    // folder: empty for a temporary folder, made on first use and removed at a normal end.
    explicit PortalStorage(const QString& folder);
    ~PortalStorage();
    PortalStorage(const PortalStorage&) = delete;
    PortalStorage& operator=(const PortalStorage&) = delete;

    // Whether a relative path is acceptable: no empty, "." or ".." names, no leading '/',
    // no backslash or control characters, and not inside the uploads in progress.
    static bool isSafe(const QString& relativePath);

    // The absolute path of a safe relative path; empty when it is not safe, or when a
    // folder on the way is a symbolic link.
    QString resolve(const QString& relativePath);
    // A fresh file for an upload in progress; empty, with the reason in error, when it cannot be made.
    QString createIncoming(const QString& id, QString& error);
    // Moves a finished upload to its place, replacing a file there, or makes the folder
    // when incoming is empty.
    bool place(const QString& incoming, const QString& relativePath, QString& error);
    // Every file and folder, as {"path", "size", "modified", "kind"}, sorted by path.
    QJsonArray list();

private:
    // The folder, made when first needed.
    QString root();

    const QString m_folder;
    std::unique_ptr<QTemporaryDir> m_temporary;
};

#endif // PORTALSTORAGE_H
