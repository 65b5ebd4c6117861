#ifndef CERTIFICATETRUST_H
#define CERTIFICATETRUST_H

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

// The certificates the embedded view accepted for a host in this run, despite errors.
// The agent must reach the same server, so for such a host it accepts exactly that
// leaf, compared byte for byte, besides whatever the system trusts.
class CertificateTrust
{
public:
    // host: lower case; leafDer: the leaf certificate in DER form. Safe from any thread.
    void accept(const QString& host, const QByteArray& leafDer);
    QByteArray acceptedLeaf(const QString& host) const;

private:
    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_leaves;
};

#endif // CERTIFICATETRUST_H
