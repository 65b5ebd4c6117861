#ifndef CURLTLS_H
#define CURLTLS_H

#include <QString>

#include <curl/curl.h>

class CertificateTrust;

namespace CurlTls {
// For a host whose certificate the view accepted: the handshake also passes when the
// server's leaf is exactly that certificate. Other servers get the system's trust only.
void acceptViewLeaf(CURL* easy, const CertificateTrust* trust);
} // namespace CurlTls

#endif // CURLTLS_H
