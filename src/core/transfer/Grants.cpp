#include "Grants.h"

#include <QFileInfo>

namespace {
QString resolved(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}
} // namespace

void Grants::grantUpload(const QString& path)
{
    const QString real = resolved(path);
    const QMutexLocker lock(&m_mutex);
    if (!real.isEmpty() && !m_uploads.contains(real)) {
        m_uploads.append(real);
    }
}

void Grants::grantDownloadFolder(const QString& folder)
{
    const QString real = resolved(folder);
    const QMutexLocker lock(&m_mutex);
    if (!real.isEmpty() && !m_downloadFolders.contains(real)) {
        m_downloadFolders.append(real);
    }
}

bool Grants::mayUpload(const QString& path) const
{
    const QMutexLocker lock(&m_mutex);
    return covered(m_uploads, path);
}

bool Grants::mayDownloadInto(const QString& folder) const
{
    const QString real = resolved(folder);
    const QMutexLocker lock(&m_mutex);
    return !real.isEmpty() && m_downloadFolders.contains(real);
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
