#ifndef SERVERTLS_H
#define SERVERTLS_H

#include <QByteArray>
#include <QSslConfiguration>
#include <QString>

#include <optional>

namespace ServerTls {
// The server side of TLS from a PEM certificate (optionally followed by its chain) and a
// PEM private key; empty, with the reason in error, when either cannot be read.
std::optional<QSslConfiguration> fromPem(const QByteArray& certificates, const QByteArray& key, QString& error);
} // namespace ServerTls

#endif // SERVERTLS_H
