// The update check's version comparison on arbitrary versions: the input's first line is the
// published version, the rest the running one. Whatever they hold, no version is newer than
// itself, of two versions at most one is newer, and an unreadable one is unreadable both ways.
#include "update/VersionCompare.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using VersionCompare::Result;
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QString published = input.section(QLatin1Char('\n'), 0, 0);
    const QString running = input.section(QLatin1Char('\n'), 1);
    const Result forward = VersionCompare::compare(published, running);
    const Result backward = VersionCompare::compare(running, published);
    if (VersionCompare::compare(published, published) == Result::Newer
        || (forward == Result::Newer && backward != Result::NotNewer)
        || ((forward == Result::Unreadable) != (backward == Result::Unreadable))) {
        std::abort();
    }
    return 0;
}
