#ifndef DATADIRECTORY_H
#define DATADIRECTORY_H

#include <QString>

// The per-user folder holding the settings file and the server list. No application
// or organisation name is set, so it follows the executable's name, and files of
// earlier installations keep being found.
namespace DataDirectory {
QString path();
// Creates the folder itself if missing, but not missing parents, and makes it the user's
// alone (see OwnerOnly); failure is silent.
void ensureExists();
// Path of a file inside the folder.
QString filePath(const QString& fileName);
} // namespace DataDirectory

#endif // DATADIRECTORY_H
