#ifndef VERSIONCOMPARE_H
#define VERSIONCOMPARE_H

#include <QString>

// How a published version stands against the running one. Pure: no window, no network.
namespace VersionCompare {
enum class Result {
    Newer,
    NotNewer,
    // Either version has fewer than three dot-separated fields.
    Unreadable,
};

// The version without its free text: "3.0.0 Build 14" -> "3.0.0".
QString numberPart(const QString& version);
// Compares the first three fields as numbers, the first difference deciding; later fields do not count.
Result compare(const QString& published, const QString& running);
} // namespace VersionCompare

#endif // VERSIONCOMPARE_H
