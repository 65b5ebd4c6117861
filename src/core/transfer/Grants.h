#ifndef GRANTS_H
#define GRANTS_H

#include <QHash>
#include <QMutex>
#include <QStringList>

// What the user handed over in this run, and to which page: paths dropped on the window or
// chosen in the agent's dialogs may be uploaded, and folders chosen there may receive
// downloads, by pages of the origin that received them and no other.
// Paths are compared after resolving links, so a link cannot lead out of a granted folder.
class Grants
{
public:
    // Safe from any thread. origin: "scheme://host[:port]"; an empty one grants nothing.
    void grantUpload(const QString& origin, const QString& path);
    void grantDownloadFolder(const QString& origin, const QString& folder);
    bool mayUpload(const QString& origin, const QString& path) const;
    bool mayDownloadInto(const QString& origin, const QString& folder) const;

    // Whether path, links resolved, lies inside folder or is folder itself.
    static bool isInside(const QString& path, const QString& folder);

private:
    using Granted = QHash<QString, QStringList>;

    void grant(Granted& granted, const QString& origin, const QString& path);
    static bool covered(const QStringList& granted, const QString& path);

    mutable QMutex m_mutex;
    // The real paths each origin was handed.
    Granted m_uploads;
    Granted m_downloadFolders;
};

#endif // GRANTS_H
