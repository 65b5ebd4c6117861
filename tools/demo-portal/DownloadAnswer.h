#ifndef DOWNLOADANSWER_H
#define DOWNLOADANSWER_H

#include "PortalResponse.h"

#include <QString>

struct HttpRequest;

namespace DownloadAnswer {
// A file of the data folder for GET or HEAD, with a strong ETag, Last-Modified and byte
// ranges by RFC 9110: one Range answers 206, or 416 when it lies past the end; If-Range
// that does not match the file, several ranges or a malformed Range get the whole file.
PortalResponse of(const HttpRequest& request, const QString& path);
} // namespace DownloadAnswer

#endif // DOWNLOADANSWER_H
