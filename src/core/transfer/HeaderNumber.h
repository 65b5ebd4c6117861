#ifndef HEADERNUMBER_H
#define HEADERNUMBER_H

#include <QByteArray>

#include <limits>

// A count a server sends in a header field (sizes, offsets): plain decimal digits only.
namespace HeaderNumber {
// Half the range, so that adding two counts never overflows.
constexpr qint64 Largest = std::numeric_limits<qint64>::max() / 2;
// The number, or -1 when the value is empty, holds anything but digits, or exceeds Largest.
qint64 parse(const QByteArray& value);
} // namespace HeaderNumber

#endif // HEADERNUMBER_H
