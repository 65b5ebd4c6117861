#ifndef SAFEFILES_H
#define SAFEFILES_H

#include <QString>

// Files the agent writes into a download folder, which a link or another account's file
// planted there must not redirect: a new file is made only where no name stood, a part file
// is taken up again only as the user's own plain file, and a finished file takes a free name
// only, never by copying. The platform's calls are in SafeFiles_unix.cpp and SafeFiles_win.cpp;
// descriptors are C file descriptors, for QFile::open().
namespace SafeFiles {
enum class Renamed { Done, Taken, Failed };

// A new file open to read and write, or -1 when anything has the name, a dangling link too.
int createNew(const QString& path, QString* error);
// An existing file open to read and write, or -1 unless it is a plain file of the user's own.
int openOwn(const QString& path, QString* error);
// Whether anything has the name, a link included, wherever it points.
bool isTaken(const QString& path);
// Writes the file's bytes out to the disk.
bool sync(int descriptor);
// Starts writing bytes of the file out to the disk without waiting for them, so that the
// sync() at the end waits only for the last ones. Where the system has no such call, nothing.
void startWriteOut(int descriptor, qint64 offset, qint64 bytes);
// Renames within one folder, never over another name, then writes the folder out.
Renamed rename(const QString& from, const QString& to, QString* error);

// Gives a finished part file, written out first, the name wanted or else the next free
// "name (n).ext". The name it took, or empty with the reason in error.
QString finish(const QString& partPath, const QString& wanted, QString* error);
} // namespace SafeFiles

#endif // SAFEFILES_H
