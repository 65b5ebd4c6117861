#include "CertificateTrust.h"

void CertificateTrust::accept(const QString& host, const QByteArray& leafDer)
{
    const QMutexLocker lock(&m_mutex);
    m_leaves.insert(host.toLower(), leafDer);
}

QByteArray CertificateTrust::acceptedLeaf(const QString& host) const
{
    const QMutexLocker lock(&m_mutex);
    return m_leaves.value(host.toLower());
}
