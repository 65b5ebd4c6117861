#include "TusAnswer.h"

#include "HeaderNumber.h"

#include <QList>

namespace {
const QByteArray Sha256 = QByteArrayLiteral("sha256");
const QByteArray Sha1 = QByteArrayLiteral("sha1");
const int HttpPort = 80;
const int HttpsPort = 443;

QList<QByteArray> listOf(const QByteArray& value)
{
    QList<QByteArray> entries;
    for (const QByteArray& entry : value.split(',')) {
        entries.append(entry.trimmed().toLower());
    }
    return entries;
}

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? HttpsPort : HttpPort);
}

bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && portOf(a) == portOf(b);
}
} // namespace

TusServerOptions
TusAnswer::options(const QByteArray& extensions, const QByteArray& algorithms, const QByteArray& maxSize)
{
    // A server that does not answer OPTIONS still gets the core protocol with creation.
    const QList<QByteArray> announced = listOf(extensions);
    const QList<QByteArray> checksums = listOf(algorithms);
    TusServerOptions options;
    options.known = true;
    options.creationWithUpload = announced.contains("creation-with-upload");
    options.termination = announced.contains("termination");
    if (announced.contains("checksum")) {
        options.checksumAlgorithm =
            checksums.contains(Sha256) ? Sha256 : (checksums.contains(Sha1) ? Sha1 : QByteArray());
    }
    options.maxSize = qMax<qint64>(0, HeaderNumber::parse(maxSize));
    return options;
}

qint64 TusAnswer::offset(const QByteArray& value, qint64 maximum)
{
    const qint64 offset = HeaderNumber::parse(value);
    return offset <= maximum ? offset : -1;
}

QUrl TusAnswer::uploadAddress(const QUrl& endpoint, const QByteArray& location)
{
    if (location.isEmpty()) {
        return {};
    }
    const QUrl address(endpoint.resolved(QUrl::fromEncoded(location)).toString(QUrl::FullyEncoded));
    return address.isValid() && sameOrigin(address, endpoint) ? address : QUrl();
}
