#ifndef FILETIMES_H
#define FILETIMES_H

#include <QString>

// A file's modification time as the system keeps it. QFileInfo gives it in local time, and on
// Linux every conversion reads the time zone again (a stat of /etc/localtime, then mktime): a
// dozen times for each file of a large folder. The platform's calls are in FileTimes_unix.cpp
// and FileTimes_win.cpp.
namespace FileTimes {
// Milliseconds since the epoch, as QFileInfo::lastModified() gives them; -1 when unreadable.
qint64 modifiedMs(const QString& path);
} // namespace FileTimes

#endif // FILETIMES_H
