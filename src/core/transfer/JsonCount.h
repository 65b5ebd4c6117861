#ifndef JSONCOUNT_H
#define JSONCOUNT_H

#include <QJsonValue>

// A count (a size, an offset, a time in ms) read back from JSON, where numbers are doubles.
namespace JsonCount {
// The whole number the value holds, 0 when it is none or lies beyond what a double holds
// exactly (2^53), so that any count read converts and is written back unchanged.
qint64 read(const QJsonValue& value);
} // namespace JsonCount

#endif // JSONCOUNT_H
