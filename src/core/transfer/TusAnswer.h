#ifndef TUSANSWER_H
#define TUSANSWER_H

#include "TusServerOptions.h"

#include <QUrl>

// What a tus server's answers say, from their header fields.
namespace TusAnswer {
// The options announced in the answer to OPTIONS: Tus-Extension, Tus-Checksum-Algorithm, Tus-Max-Size.
TusServerOptions options(const QByteArray& extensions, const QByteArray& algorithms, const QByteArray& maxSize);
// The Upload-Offset the server confirmed when it is a number from 0 to maximum, else -1.
qint64 offset(const QByteArray& value, qint64 maximum);
// The Location of a created upload, resolved against the endpoint, in the form it is stored and
// read again; empty unless it is on the endpoint's origin (never https to http).
QUrl uploadAddress(const QUrl& endpoint, const QByteArray& location);
} // namespace TusAnswer

#endif // TUSANSWER_H
