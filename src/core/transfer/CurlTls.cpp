#include "CurlTls.h"

#include "CertificateTrust.h"

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

// Where a context keeps the leaf accepted for its connection's host; freed with the context.
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
    const auto* accepted = static_cast<const QByteArray*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), leafIndex()));
    X509* leaf = X509_STORE_CTX_get0_cert(store);
    if (!accepted || !leaf || accepted->isEmpty() || derOf(leaf) != *accepted) {
        return 0;
    }
    // The result the connection reports must be success, not the error overlooked here.
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

CURLcode prepareContext(CURL* easy, void* sslContext, void* trust)
{
    auto* context = static_cast<SSL_CTX*>(sslContext);
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    CURLU* parsed = curl_url();
    char* host = nullptr;
    if (url && curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK
        && curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
        // curl's own host check is off for such hosts; OpenSSL checks the name instead,
        // so a mismatch reaches verifyPeer like any other error.
        X509_VERIFY_PARAM_set1_host(SSL_CTX_get0_param(context), host, 0);
        const QByteArray leaf = static_cast<const CertificateTrust*>(trust)->acceptedLeaf(QString::fromUtf8(host));
        SSL_CTX_set_ex_data(context, leafIndex(), new QByteArray(leaf));
    }
    curl_free(host);
    curl_url_cleanup(parsed);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, verifyPeer);
    return CURLE_OK;
}
} // namespace

namespace CurlTls {
void acceptViewLeaf(CURL* easy, const CertificateTrust* trust)
{
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, prepareContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, const_cast<CertificateTrust*>(trust));
}
} // namespace CurlTls
