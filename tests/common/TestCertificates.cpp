#include "TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>

namespace TestCertificates {
QString file(const char* name)
{
    return QStringLiteral(NORV_TEST_CERT_DIR) + QLatin1Char('/') + QLatin1String(name);
}

QSslConfiguration trustTestAuthority()
{
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.setCaCertificates(trusting.caCertificates() + QSslCertificate::fromPath(file("ca.pem")));
    QSslConfiguration::setDefaultConfiguration(trusting);
    return trusting;
}

QSslConfiguration serverConfiguration(const QString& certificatePath, const QString& keyPath)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(certificatePath).value(0));
    QFile key(keyPath);
    key.open(QIODevice::ReadOnly);
    tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    return tls;
}

QSslCertificate makeSelfSigned(const QString& certificatePath, const QString& keyPath)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"),
                   QStringLiteral("-x509"),
                   QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"),
                   QStringLiteral("-days"),
                   QStringLiteral("2"),
                   QStringLiteral("-subj"),
                   QStringLiteral("/CN=portal.test"),
                   QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"),
                   keyPath,
                   QStringLiteral("-out"),
                   certificatePath});
    openssl.waitForFinished();
    return QSslCertificate::fromPath(certificatePath).value(0);
}
} // namespace TestCertificates
