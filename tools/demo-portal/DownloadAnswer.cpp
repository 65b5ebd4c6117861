#include "DownloadAnswer.h"

#include "core/httpd/HttpRequest.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QUrl>

#include <algorithm>
#include <optional>

namespace {
const QByteArray OctetStream = QByteArrayLiteral("application/octet-stream");
const QByteArray BytesUnit = QByteArrayLiteral("bytes=");
const QString HttpDateFormat = QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'");

struct Range
{
    qint64 first;
    qint64 last;
};

// Size and modification time name this version of the file. Every finished upload is
// a new file written to its end, so the pair changes whenever the bytes do.
QByteArray entityTag(const QFileInfo& file)
{
    return '"' + QByteArray::number(file.size(), 16) + '-'
        + QByteArray::number(file.lastModified().toMSecsSinceEpoch(), 16) + '"';
}

QByteArray httpDate(const QDateTime& time)
{
    return QLocale::c().toString(time.toUTC(), HttpDateFormat).toLatin1();
}

bool isDigits(const QByteArray& text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= '0' && c <= '9'; });
}

// If-Range holds: a strong tag equal to the file's, or exactly its Last-Modified date.
bool ifRangeHolds(const QByteArray& condition, const QByteArray& tag, const QByteArray& lastModified)
{
    if (condition.isNull()) {
        return true;
    }
    return condition.startsWith('"') ? condition == tag : condition == lastModified;
}

// One range of "bytes=first-last", "bytes=first-" or "bytes=-suffix". Empty when the
// field is malformed or asks for several ranges: both are answered with the whole file.
// A range that starts past the end comes back with first >= size.
std::optional<Range> parseRange(const QByteArray& field, qint64 size)
{
    if (!field.startsWith(BytesUnit)) {
        return std::nullopt;
    }
    const QByteArray spec = field.mid(BytesUnit.size()).trimmed();
    const int dash = spec.indexOf('-');
    if (dash < 0 || spec.contains(',')) {
        return std::nullopt;
    }
    const QByteArray first = spec.left(dash);
    const QByteArray last = spec.mid(dash + 1);
    bool firstFits = false;
    bool lastFits = false;
    const qint64 firstValue = first.toLongLong(&firstFits);
    const qint64 lastValue = last.toLongLong(&lastFits);
    if (first.isEmpty()) {
        if (!isDigits(last) || !lastFits) {
            return std::nullopt;
        }
        // A suffix of zero bytes is unsatisfiable; a longer one than the file is all of it.
        return lastValue == 0 ? Range {size, size} : Range {qMax<qint64>(0, size - lastValue), size - 1};
    }
    if (!isDigits(first) || !firstFits
        || (!last.isEmpty() && (!isDigits(last) || !lastFits || lastValue < firstValue))) {
        return std::nullopt;
    }
    return Range {firstValue, last.isEmpty() ? size - 1 : qMin(lastValue, size - 1)};
}
} // namespace

PortalResponse DownloadAnswer::of(const HttpRequest& request, const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile() || file.isSymLink()) {
        return PortalResponse::error(PortalResponse::NotFound);
    }
    const qint64 size = file.size();
    const QByteArray tag = entityTag(file);
    const QByteArray lastModified = httpDate(file.lastModified());
    Range range {0, size - 1};
    int status = PortalResponse::Ok;
    const QByteArray rangeField = request.header("range");
    if (request.method == "GET" && !rangeField.isNull()
        && ifRangeHolds(request.header("if-range"), tag, lastModified)) {
        if (const std::optional<Range> asked = parseRange(rangeField, size)) {
            if (asked->first >= size) {
                PortalResponse refusal = PortalResponse::error(PortalResponse::RangeNotSatisfiable);
                refusal.addHeader(QByteArrayLiteral("Content-Range"), "bytes */" + QByteArray::number(size));
                return refusal;
            }
            range = *asked;
            status = PortalResponse::PartialContent;
        }
    }
    PortalResponse response(status, OctetStream, {});
    response.addHeader(QByteArrayLiteral("ETag"), tag);
    response.addHeader(QByteArrayLiteral("Last-Modified"), lastModified);
    response.addHeader(QByteArrayLiteral("Accept-Ranges"), QByteArrayLiteral("bytes"));
    response.addHeader(QByteArrayLiteral("Content-Disposition"),
                       "attachment; filename*=UTF-8''" + QUrl::toPercentEncoding(file.fileName()));
    if (status == PortalResponse::PartialContent) {
        response.addHeader(QByteArrayLiteral("Content-Range"),
                           "bytes " + QByteArray::number(range.first) + '-' + QByteArray::number(range.last) + '/'
                               + QByteArray::number(size));
    }
    response.setFileBody({path, range.first, range.last - range.first + 1});
    return response;
}
