#ifndef OTHERUSER_H
#define OTHERUSER_H

#include <QString>
#include <QStringList>

// Runs programs as another account of the machine (nobody), to show what the client lets
// other users do. Switching users needs root and util-linux's setpriv.
namespace OtherUser {
const uint Uid = 65534;
// Why programs cannot be run as the other user here; empty when they can.
QString unavailableReason();
// Start launcher() with launcherArguments(program, arguments) to run program as the other user.
QString launcher();
QStringList launcherArguments(const QString& program, const QStringList& arguments = {});
} // namespace OtherUser

#endif // OTHERUSER_H
