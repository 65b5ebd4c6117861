// A tus server's answers on arbitrary header fields. The input's lines are: Tus-Extension,
// Tus-Checksum-Algorithm, Tus-Max-Size, the endpoint, Location, Upload-Offset, and the bytes sent.
// An offset taken is within what was sent; an upload address taken is on the endpoint's origin
// however it is read back; the options are the ones announced.
#include "FuzzCheck.h"
#include "FuzzLines.h"
#include "core/transfer/HeaderNumber.h"
#include "core/transfer/TusAnswer.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cctype>

namespace {
enum Line { Extensions, Algorithms, MaxSize, Endpoint, Location, Offset, Sent, LineCount };

// The announced names, read as a person would: comma-separated, blanks around, any case.
QStringList announced(const QByteArray& value)
{
    return QString::fromLatin1(value.constData(), value.size())
        .toLower()
        .split(QRegularExpression(QStringLiteral("\\s*,\\s*")));
}

bool lists(const QByteArray& value, const char* name)
{
    return announced(value.trimmed()).contains(QLatin1String(name));
}

// Digits only, and no more than a count can be: else no count at all.
qint64 countIn(const QByteArray& value)
{
    bool number = false;
    const qint64 count = value.toLongLong(&number);
    const bool digits = !value.isEmpty() && std::all_of(value.begin(), value.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
    });
    return digits && number && count <= HeaderNumber::Largest ? count : -1;
}

void checkOptions(const QList<QByteArray>& lines)
{
    const TusServerOptions options = TusAnswer::options(lines[Extensions], lines[Algorithms], lines[MaxSize]);
    FuzzCheck::require(options.known, "options known");
    FuzzCheck::require(options.creationWithUpload == lists(lines[Extensions], "creation-with-upload"),
                       "creation-with-upload as announced");
    FuzzCheck::require(options.termination == lists(lines[Extensions], "termination"), "termination as announced");
    QByteArray checksum;
    if (lists(lines[Extensions], "checksum")) {
        checksum = lists(lines[Algorithms], "sha256") ? "sha256" : (lists(lines[Algorithms], "sha1") ? "sha1" : "");
    }
    FuzzCheck::require(options.checksumAlgorithm == checksum, "checksum as announced", options.checksumAlgorithm);
    FuzzCheck::require(options.maxSize == qMax<qint64>(0, countIn(lines[MaxSize])),
                       "max size as announced",
                       QByteArray::number(options.maxSize));
}

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

void checkAddress(const QList<QByteArray>& lines)
{
    const QUrl endpoint(QString::fromUtf8(lines[Endpoint].constData(), lines[Endpoint].size()), QUrl::StrictMode);
    const QUrl address = TusAnswer::uploadAddress(endpoint, lines[Location]);
    if (address.isEmpty()) {
        return;
    }
    // Stored as text and read back, as a resumed upload does.
    const QUrl stored(address.toString(QUrl::FullyEncoded));
    const QByteArray outcome = stored.toEncoded();
    FuzzCheck::require(!lines[Location].isEmpty() && stored.isValid(), "a valid address", outcome);
    FuzzCheck::require(stored.scheme() == endpoint.scheme(), "the endpoint's scheme", outcome);
    FuzzCheck::require(stored.host().toLower() == endpoint.host().toLower() && portOf(stored) == portOf(endpoint),
                       "the endpoint's host and port",
                       outcome);
}

void checkOffset(const QList<QByteArray>& lines)
{
    const qint64 sent = lines[Sent].toLongLong();
    const qint64 offset = TusAnswer::offset(lines[Offset], sent);
    const qint64 count = countIn(lines[Offset]);
    FuzzCheck::require(
        offset == (count <= sent ? count : -1), "the offset sent, within what was sent", QByteArray::number(offset));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> lines = FuzzLines::split(data, size, LineCount);
    checkOptions(lines);
    checkAddress(lines);
    checkOffset(lines);
    return 0;
}
