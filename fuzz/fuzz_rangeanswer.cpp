// A download's answer on arbitrary header fields. The input's lines are: the offset asked for,
// Content-Range, Content-Length, ETag and Last-Modified. A range taken is exactly the rest of
// the file from the offset; a size taken is a count; the validator kept for If-Range is a strong
// ETag or a date, as sent.
#include "FuzzCheck.h"
#include "FuzzLines.h"
#include "core/transfer/RangeAnswer.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QRegularExpression>

namespace {
enum Line { Offset, ContentRange, ContentLength, ETag, LastModified, LineCount };
const QRegularExpression Range(QRegularExpression::anchoredPattern(QStringLiteral("bytes ([0-9]+)-([0-9]+)/([0-9]+)")));
const QRegularExpression
    StrongTag(QRegularExpression::anchoredPattern(QStringLiteral("\"[\\x21\\x23-\\x7e\\x80-\\xff]*\"")));

// All of it: Qt 5 stops at a NUL when given a QByteArray alone.
QString latin1(const QByteArray& value)
{
    return QString::fromLatin1(value.constData(), value.size());
}

void checkRange(const QList<QByteArray>& lines)
{
    const qint64 offset = lines[Offset].toLongLong();
    const qint64 total = RangeAnswer::totalOfRange(lines[ContentRange], lines[ContentLength], offset);
    if (total < 0) {
        return;
    }
    const QRegularExpressionMatch range = Range.match(latin1(lines[ContentRange]));
    const QByteArray outcome = QByteArray::number(total);
    FuzzCheck::require(range.hasMatch(), "a well-formed range", outcome);
    FuzzCheck::require(range.captured(1).toLongLong() == offset && range.captured(2).toLongLong() == total - 1
                           && range.captured(3).toLongLong() == total && offset < total,
                       "the range asked for",
                       outcome);
    FuzzCheck::require(lines[ContentLength].isEmpty() || lines[ContentLength].toLongLong() == total - offset,
                       "the announced length",
                       outcome);
}

void checkWhole(const QList<QByteArray>& lines)
{
    const qint64 total = RangeAnswer::totalOfWhole(lines[ContentLength]);
    FuzzCheck::require(total == -1
                           || QByteArray::number(total).rightJustified(lines[ContentLength].size(), '0')
                               == lines[ContentLength],
                       "a size as sent",
                       QByteArray::number(total));
}

void checkValidator(const QList<QByteArray>& lines)
{
    const QByteArray validator = RangeAnswer::validator(lines[ETag], lines[LastModified]);
    const bool strong = validator == lines[ETag] && StrongTag.match(latin1(validator)).hasMatch();
    const bool date = validator == lines[LastModified]
        && QLocale::c().toDateTime(latin1(validator), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).isValid();
    FuzzCheck::require(validator.isEmpty() || strong || date, "a strong tag or a date", validator);
    FuzzCheck::require(
        !validator.contains('\r') && !validator.contains('\n') && !validator.contains('\0'), "one line", validator);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> lines = FuzzLines::split(data, size, LineCount);
    checkRange(lines);
    checkWhole(lines);
    checkValidator(lines);
    return 0;
}
