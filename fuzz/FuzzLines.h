#ifndef FUZZLINES_H
#define FUZZLINES_H

#include <QByteArray>
#include <QList>

#include <cstdint>

// An input read as header fields or other values, one a line; lines it lacks are empty.
namespace FuzzLines {
inline QList<QByteArray> split(const uint8_t* data, size_t size, int count)
{
    QList<QByteArray> lines = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\n');
    while (lines.size() < count) {
        lines.append(QByteArray());
    }
    return lines;
}
} // namespace FuzzLines

#endif // FUZZLINES_H
