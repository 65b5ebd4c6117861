#include "RangeAnswer.h"

#include "HeaderNumber.h"

#include <QDateTime>
#include <QLocale>

namespace {
const QByteArray BytesUnit = QByteArrayLiteral("bytes ");
// IMF-fixdate, the one form servers are to send: "Sun, 06 Nov 1994 08:49:37 GMT".
const QString HttpDateFormat = QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'");

// "<quote>...<quote>" of visible characters other than quotes; a weak tag starts with "W/".
bool isStrongTag(const QByteArray& etag)
{
    if (etag.size() < 2 || !etag.startsWith('"') || !etag.endsWith('"')) {
        return false;
    }
    for (const char c : etag.mid(1, etag.size() - 2)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == '"' || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

bool isHttpDate(const QByteArray& value)
{
    // With its size: Qt 5 would stop at a NUL and take what comes after it along.
    return QLocale::c().toDateTime(QString::fromLatin1(value.constData(), value.size()), HttpDateFormat).isValid();
}
} // namespace

qint64 RangeAnswer::totalOfRange(const QByteArray& contentRange, const QByteArray& contentLength, qint64 offset)
{
    if (!contentRange.startsWith(BytesUnit)) {
        return -1;
    }
    const QByteArray range = contentRange.mid(BytesUnit.size());
    const int dash = range.indexOf('-');
    const int slash = range.indexOf('/');
    if (dash < 0 || slash < dash) {
        return -1;
    }
    const qint64 first = HeaderNumber::parse(range.left(dash));
    const qint64 last = HeaderNumber::parse(range.mid(dash + 1, slash - dash - 1));
    const qint64 total = HeaderNumber::parse(range.mid(slash + 1));
    if (first != offset || first < 0 || last < first || last + 1 != total
        || (!contentLength.isEmpty() && HeaderNumber::parse(contentLength) != last - first + 1)) {
        return -1;
    }
    return total;
}

qint64 RangeAnswer::totalOfWhole(const QByteArray& contentLength)
{
    return HeaderNumber::parse(contentLength);
}

QByteArray RangeAnswer::validator(const QByteArray& etag, const QByteArray& lastModified)
{
    if (isStrongTag(etag)) {
        return etag;
    }
    return isHttpDate(lastModified) ? lastModified : QByteArray();
}
