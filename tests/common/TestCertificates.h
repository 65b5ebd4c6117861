#ifndef TESTCERTIFICATES_H
#define TESTCERTIFICATES_H

#include <QSslConfiguration>
#include <QString>

// The private test CA and the server certificate it signs for 127.0.0.1, localhost and 0.0.0.0, made
// by the build (tools/demo-portal): no key is kept in the sources, and nothing trusts the CA
// unless a test says so for its own process.
namespace TestCertificates {
// "ca.pem", "cert.pem" or "key.pem".
QString file(const char* name);
// Makes this process trust the test CA, with verification on; returns the configuration set.
QSslConfiguration trustTestAuthority();
// A certificate and key for a TLS server of the test's own: by default the server certificate.
QSslConfiguration serverConfiguration(const QString& certificatePath = file("cert.pem"),
                                      const QString& keyPath = file("key.pem"));
// Makes a new self-signed certificate for 127.0.0.1 and its key in these files; returns the certificate.
QSslCertificate makeSelfSigned(const QString& certificatePath, const QString& keyPath);
} // namespace TestCertificates

#endif // TESTCERTIFICATES_H
