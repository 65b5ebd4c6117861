#include "TestCertificates.h"

#include <QFile>
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

QSslConfiguration serverConfiguration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate::fromPath(file("cert.pem")).value(0));
    QFile key(file("key.pem"));
    key.open(QIODevice::ReadOnly);
    tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
    return tls;
}
} // namespace TestCertificates
