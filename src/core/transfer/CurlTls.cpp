#include "CurlTls.h"

#include "CertificateTrust.h"

#include <QFile>
#include <QHostAddress>
#include <QUrl>

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace {
QByteArray derOf(X509* certificate)
{
    const int size = i2d_X509(certificate, nullptr);
    if (size <= 0) {
        return {};
    }
    QByteArray der(size, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(certificate, &out);
    return der;
}

void freeLeaf(void*, void* leaf, CRYPTO_EX_DATA*, int, long, void*)
{
    delete static_cast<QByteArray*>(leaf);
}

// Where a context keeps the pinned fingerprint for its connection's host and port; freed with the context.
int leafIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, freeLeaf);
    return index;
}

// Runs for every certificate of the chain; the leaf decides whether errors are overlooked.
int verifyPeer(int preverified, X509_STORE_CTX* store)
{
    if (preverified) {
        return 1;
    }
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    const auto* pinned = static_cast<const QByteArray*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), leafIndex()));
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (!pinned || !leaf || pinned->isEmpty() || CertificateTrust::fingerprint(derOf(leaf)) != *pinned) {
        return 0;
    }
    // The result the connection reports must be success, not the error overlooked here.
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

CURLcode prepareContext(CURL* easy, void* sslContext, void* trustData)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    const auto* trust = static_cast<const CertificateTrust*>(trustData);
    // The company authorities join the system's; duplicates in the store are skipped.
    const QByteArray authorities = QFile::encodeName(trust->authoritiesFile());
    if (!authorities.isEmpty() && QFile::exists(trust->authoritiesFile())) {
        X509_STORE_load_file(SSL_CTX_get_cert_store(context), authorities.constData());
    }
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    const QUrl address(QString::fromUtf8(url));
    // curl's own name check is off; OpenSSL checks the name instead, so for a pinned host
    // a mismatch reaches verifyPeer like any other error.
    const QByteArray host = address.host().toUtf8();
    X509_VERIFY_PARAM* check = SSL_CTX_get0_param(context);
    if (QHostAddress().setAddress(address.host())) {
        X509_VERIFY_PARAM_set1_ip_asc(check, host.constData());
    } else {
        X509_VERIFY_PARAM_set1_host(check, host.constData(), host.size());
    }
    SSL_CTX_set_ex_data(context, leafIndex(), new QByteArray(trust->pinned(address)));
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verifyPeer);
    return CURLE_OK;
}
} // namespace

namespace CurlTls {
void trustPinned(CURL* easy, const CertificateTrust* trust)
{
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, prepareContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, const_cast<CertificateTrust*>(trust));
}
} // namespace CurlTls
