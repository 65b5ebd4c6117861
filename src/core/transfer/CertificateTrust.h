#ifndef CERTIFICATETRUST_H
#define CERTIFICATETRUST_H

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

class QUrl;

// The certificates the user trusts although the system does not: for each host and port, the
// SHA-256 of the leaf first seen there or accepted since. The view loads such a server only
// while it shows that leaf, and the agent sends only to it. Certificates that chain to a
// trusted authority never come here. Also names the user's file of company authorities,
// which the agent trusts besides the system's.
class CertificateTrust
{
public:
    enum class Verdict { Unknown, Same, Changed };

    // folder: the data folder that keeps the pins; empty keeps them for this run only.
    explicit CertificateTrust(const QString& folder = QString());

    static QByteArray fingerprint(const QByteArray& leafDer);
    // Each address stands for its host (without regard to case) and port, 443 when it names
    // none. Safe from any thread, like every member.
    Verdict check(const QUrl& address, const QByteArray& leafDer) const;
    // The remembered SHA-256, empty when none.
    QByteArray pinned(const QUrl& address) const;
    // Remembers leafDer and saves; false when the file could not be written (the pin then
    // holds for this run).
    bool pin(const QUrl& address, const QByteArray& leafDer);
    // Forgets every port of host, as when its saved server is deleted.
    bool forgetHost(const QString& host);
    // The PEM file of authorities the user added for the agent; it may be missing.
    QString authoritiesFile() const;

private:
    void read();
    bool write() const;

    const QString m_folder;
    mutable QMutex m_mutex;
    // "host port" -> SHA-256 of the leaf.
    QHash<QString, QByteArray> m_pins;
};

#endif // CERTIFICATETRUST_H
