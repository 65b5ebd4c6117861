#ifndef SAFEFILENAME_H
#define SAFEFILENAME_H

#include <QString>

// Names for downloaded files that a page or a server proposed.
namespace SafeFileName {
// Where bytes go until the file is complete and checked.
extern const QString PartSuffix;
// One plain file name: no separators, no "..", no control characters, bounded
// length, and a suffix for names Windows reserves.
QString sanitize(const QString& proposed);
// folder + name, or "name (1).ext", "name (2).ext"... when the name or its part file is taken,
// by anything, a link included.
QString unusedPath(const QString& folder, const QString& name);
} // namespace SafeFileName

#endif // SAFEFILENAME_H
