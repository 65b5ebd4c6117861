#ifndef WRITERCONTENTS_H
#define WRITERCONTENTS_H

#include "config/SettingsFile.h"

#include <QString>

// The two contents reliability-writer alternates between, shared with the test that kills it.
// Neither equals the defaults, so a file read back as defaults is caught as damaged.
namespace WriterContents {
extern const char* const ApplicationName;
extern const char* const SettingsMode;
extern const char* const AutoStartMode;
// Written once the first content is on disk, so kills land during the rewriting.
extern const char* const StartedLine;

Settings settings(int round);
// The program path the autostart entry names; the two differ in length.
QString programPath(int round);
} // namespace WriterContents

#endif // WRITERCONTENTS_H
