#include "HeaderNumber.h"

qint64 HeaderNumber::parse(const QByteArray& value)
{
    if (value.isEmpty()) {
        return -1;
    }
    qint64 number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || number > (Largest - (c - '0')) / 10) {
            return -1;
        }
        number = number * 10 + (c - '0');
    }
    return number;
}
