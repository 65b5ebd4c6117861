#include "ServerTls.h"

#include <QSslCertificate>
#include <QSslKey>

namespace {
// Qt 5 wants to be told the key's algorithm, so both kinds OpenSSL makes are tried.
QSslKey readPrivateKey(const QByteArray& pem)
{
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec}) {
        const QSslKey key(pem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull()) {
            return key;
        }
    }
    return {};
}
} // namespace

namespace ServerTls {
std::optional<QSslConfiguration> fromPem(const QByteArray& certificates, const QByteArray& key, QString& error)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certificates, QSsl::Pem);
    if (chain.isEmpty()) {
        error = QStringLiteral("the certificate file holds no PEM certificate");
        return std::nullopt;
    }
    const QSslKey privateKey = readPrivateKey(key);
    if (privateKey.isNull()) {
        error = QStringLiteral("the key file holds no unencrypted PEM private key (RSA or EC)");
        return std::nullopt;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain);
    configuration.setPrivateKey(privateKey);
    return configuration;
}
} // namespace ServerTls
