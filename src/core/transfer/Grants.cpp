#include "Grants.h"

#include <QFileInfo>

namespace {
QString resolved(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}
} // namespace

void Grants::grantUpload(const QString& origin, const QString& path)
{
    grant(m_uploads, origin, path);
}

void Grants::grantDownloadFolder(const QString& origin, const QString& folder)
{
    grant(m_downloadFolders, origin, folder);
}

void Grants::grant(Granted& granted, const QString& origin, const QString& path)
{
    const QString real = resolved(path);
    if (origin.isEmpty() || real.isEmpty()) {
        return;
    }
    const QMutexLocker lock(&m_mutex);
    QStringList& paths = granted[origin];
    if (!paths.contains(real)) {
        paths.append(real);
    }
}

bool Grants::mayUpload(const QString& origin, const QString& path) const
{
    const QMutexLocker lock(&m_mutex);
    return covered(m_uploads.value(origin), path);
}

bool Grants::mayDownloadInto(const QString& origin, const QString& folder) const
{
    const QString real = resolved(folder);
    const QMutexLocker lock(&m_mutex);
    return !real.isEmpty() && m_downloadFolders.value(origin).contains(real);
}

bool Grants::isInside(const QString& path, const QString& folder)
{
    const QString real = resolved(path);
    const QString root = resolved(folder);
    return !real.isEmpty() && !root.isEmpty() && (real == root || real.startsWith(root + QLatin1Char('/')));
}

bool Grants::covered(const QStringList& granted, const QString& path)
{
    for (const QString& root : granted) {
        if (isInside(path, root)) {
            return true;
        }
    }
    return false;
}
