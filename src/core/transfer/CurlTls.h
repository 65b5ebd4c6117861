#ifndef CURLTLS_H
#define CURLTLS_H

#include <QString>

#include <curl/curl.h>

class CertificateTrust;

namespace CurlTls {
// For an https exchange: the company authorities join the system's, and for a host and port
// with a pinned certificate the handshake also passes when the server's leaf is exactly that
// one. The name is checked by OpenSSL for each connection, redirects included.
void trustPinned(CURL* easy, const CertificateTrust* trust);
} // namespace CurlTls

#endif // CURLTLS_H
