#ifndef FILEMANAGER_H
#define FILEMANAGER_H

#include <QString>

// Shows a file in the desktop's file manager, for when it cannot be opened itself.
// Each platform has its own FileManager_<platform>.cpp.
namespace FileManager {
void showFile(const QString& path);
} // namespace FileManager

#endif // FILEMANAGER_H
