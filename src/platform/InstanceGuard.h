#ifndef INSTANCEGUARD_H
#define INSTANCEGUARD_H

#include <QString>

// The single-instance rule: the program does not start while another process of the same
// user with the same executable file name runs. The process table is read differently on each
// platform; each has its own InstanceGuard_<platform>.cpp.
namespace InstanceGuard {
// This program's executable file name, as the platform's process table shows it.
QString ownExecutableName();
// Counts this user's running processes whose executable file name equals exeName exactly
// (case-sensitive), stopping as soon as the count reaches limit. Processes of other users
// (on Windows: of other sessions) never count, whatever their name.
int countProcesses(const QString& exeName, int limit);

// True when another copy of this program runs; this process is one of the count.
inline bool anotherInstanceRunning()
{
    return countProcesses(ownExecutableName(), 2) >= 2;
}
} // namespace InstanceGuard

#endif // INSTANCEGUARD_H
