#ifndef GRANTS_H
#define GRANTS_H

#include <QMutex>
#include <QStringList>

// What the user handed over in this run: paths dropped on the window or chosen in the
// agent's dialogs may be uploaded, and folders chosen there may receive downloads.
// Paths are compared after resolving links, so a link cannot lead out of a granted folder.
class Grants
{
public:
    // Safe from any thread.
    void grantUpload(const QString& path);
    void grantDownloadFolder(const QString& folder);
    bool mayUpload(const QString& path) const;
    bool mayDownloadInto(const QString& folder) const;

    // Whether path, links resolved, lies inside folder or is folder itself.
    static bool isInside(const QString& path, const QString& folder);

private:
    static bool covered(const QStringList& granted, const QString& path);

    mutable QMutex m_mutex;
    QStringList m_uploads;
    QStringList m_downloadFolders;
};

#endif // GRANTS_H
