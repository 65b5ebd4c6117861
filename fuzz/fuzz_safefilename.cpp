// The download name rule on arbitrary names (UTF-8, or UTF-16 when the first byte is odd, so that
// lone surrogates arrive as a page's JSON can deliver them). Whatever it is given, the name it
// makes is whole characters that survive UTF-8, fits the byte limit, is a plain name with nothing
// invisible in it, and is its own safe name.
#include "core/transfer/SafeFileName.h"

#include "FuzzCheck.h"

#include <QVector>

namespace {
const int MaxNameBytes = 200;

QString nameFrom(const uint8_t* data, size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    if (data[0] % 2 == 0) {
        return QString::fromUtf8(bytes, int(size) - 1);
    }
    return QString(reinterpret_cast<const QChar*>(bytes), int(size - 1) / 2);
}

bool isPlainName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\'))) {
        return false;
    }
    for (const uint codePoint : name.toUcs4()) {
        const QChar::Category category = QChar::category(codePoint);
        if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph) {
            return false;
        }
    }
    return true;
}

bool hasLoneSurrogate(const QString& name)
{
    for (int i = 0; i < name.size(); ++i) {
        if (name.at(i).isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (name.at(i).isSurrogate()) {
            return true;
        }
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const QString safe = SafeFileName::sanitize(nameFrom(data, size));
    const QByteArray utf8 = safe.toUtf8();
    FuzzCheck::require(
        !hasLoneSurrogate(safe) && QString::fromUtf8(utf8.constData(), utf8.size()) == safe, "whole characters", utf8);
    FuzzCheck::require(utf8.size() <= MaxNameBytes, "within the byte limit", utf8);
    FuzzCheck::require(isPlainName(safe), "a plain name", utf8);
    FuzzCheck::require(SafeFileName::sanitize(safe) == safe, "its own safe name", utf8);
    return 0;
}
