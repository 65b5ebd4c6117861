#include "CertificateTrust.h"

#include "core/CoreLogging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUrl>

namespace {
const QString PinsFileName = QStringLiteral("CertificatePins");
const QString AuthoritiesFileName = QStringLiteral("CompanyCAs.pem");
// Far beyond any real list of servers; a larger file is not read at all.
const qint64 MaxFileSize = 1024 * 1024;
const int FingerprintBytes = 32;
const int HttpsPort = 443;

QString keyOf(const QString& host, int port)
{
    return host.toLower() + QLatin1Char(' ') + QString::number(port);
}

QString keyOf(const QUrl& address)
{
    return keyOf(address.host(), address.port(HttpsPort));
}
} // namespace

CertificateTrust::CertificateTrust(const QString& folder)
    : m_folder(folder)
{
    read();
}

QByteArray CertificateTrust::fingerprint(const QByteArray& leafDer)
{
    return QCryptographicHash::hash(leafDer, QCryptographicHash::Sha256);
}

CertificateTrust::Verdict CertificateTrust::check(const QUrl& address, const QByteArray& leafDer) const
{
    const QByteArray known = pinned(address);
    if (known.isEmpty()) {
        return Verdict::Unknown;
    }
    return known == fingerprint(leafDer) ? Verdict::Same : Verdict::Changed;
}

QByteArray CertificateTrust::pinned(const QUrl& address) const
{
    const QMutexLocker lock(&m_mutex);
    return m_pins.value(keyOf(address));
}

bool CertificateTrust::pin(const QUrl& address, const QByteArray& leafDer)
{
    const QMutexLocker lock(&m_mutex);
    m_pins.insert(keyOf(address), fingerprint(leafDer));
    return write();
}

bool CertificateTrust::forgetHost(const QString& host)
{
    const QMutexLocker lock(&m_mutex);
    const QString prefix = host.toLower() + QLatin1Char(' ');
    for (auto pin = m_pins.begin(); pin != m_pins.end();) {
        pin = pin.key().startsWith(prefix) ? m_pins.erase(pin) : std::next(pin);
    }
    return write();
}

QString CertificateTrust::authoritiesFile() const
{
    return m_folder.isEmpty() ? QString() : m_folder + QLatin1Char('/') + AuthoritiesFileName;
}

void CertificateTrust::read()
{
    if (m_folder.isEmpty()) {
        return;
    }
    QFile file(m_folder + QLatin1Char('/') + PinsFileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize) {
        return;
    }
    // "host port hex" a line; anything else is skipped, so a damaged line costs only its pin.
    for (const QByteArray& line : file.read(MaxFileSize).split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        bool portOk = false;
        const int port = fields.value(1).toInt(&portOk);
        const QByteArray sha = QByteArray::fromHex(fields.value(2));
        if (fields.size() == 3 && portOk && sha.size() == FingerprintBytes) {
            m_pins.insert(keyOf(QString::fromUtf8(fields.at(0)), port), sha);
        }
    }
}

bool CertificateTrust::write() const
{
    if (m_folder.isEmpty()) {
        return true;
    }
    QByteArray bytes;
    for (auto pin = m_pins.cbegin(); pin != m_pins.cend(); ++pin) {
        bytes += pin.key().toUtf8() + ' ' + pin.value().toHex() + '\n';
    }
    QDir().mkpath(m_folder);
    // Beside the old file, owner only from the start, renamed over it only when complete.
    QSaveFile file(m_folder + QLatin1Char('/') + PinsFileName);
    const bool saved = file.open(QIODevice::WriteOnly)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) && file.write(bytes) == bytes.size()
        && file.flush() && file.commit();
    if (!saved) {
        qCWarning(lcTransfer).noquote() << "cannot save the certificate pins:" << file.errorString();
    }
    return saved;
}
