#ifndef RANGEANSWER_H
#define RANGEANSWER_H

#include <QByteArray>

// What a download's answer says about the bytes it carries, from its header fields.
namespace RangeAnswer {
// The file's size from the Content-Range of a 206 to "Range: bytes=<offset>-": -1 unless
// the range is exactly the rest of the file from offset, and Content-Length, when given, agrees.
qint64 totalOfRange(const QByteArray& contentRange, const QByteArray& contentLength, qint64 offset);
// The size a 200 announces in Content-Length, -1 when it names none that is a number.
qint64 totalOfWhole(const QByteArray& contentLength);
// What If-Range may carry for this version: the strong ETag, or else the Last-Modified date;
// empty when neither is one.
QByteArray validator(const QByteArray& etag, const QByteArray& lastModified);
} // namespace RangeAnswer

#endif // RANGEANSWER_H
