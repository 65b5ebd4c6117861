#ifndef PAGEHEADERS_H
#define PAGEHEADERS_H

#include "Transfer.h"

#include <QJsonValue>

// Header fields a page hands to the agent for its requests, its credentials for example.
namespace PageHeaders {
// The fields of a JSON object of strings; false, with the reason, for anything else,
// and for fields the agent sets itself (Host, Content-Length, Transfer-Encoding,
// hop-by-hop fields, Upload-*, Tus-*).
bool parse(const QJsonValue& value, HeaderList& headers, QString& error);
} // namespace PageHeaders

#endif // PAGEHEADERS_H
