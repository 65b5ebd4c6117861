#include "JsonCount.h"

#include <cmath>

namespace {
const double Largest = 9007199254740992.0; // 2^53
} // namespace

qint64 JsonCount::read(const QJsonValue& value)
{
    const double number = value.toDouble();
    if (!(std::fabs(number) <= Largest) || std::trunc(number) != number) {
        return 0;
    }
    return static_cast<qint64>(number);
}
