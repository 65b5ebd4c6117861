#ifndef OWNERONLY_H
#define OWNERONLY_H

#include <QFileDevice>
#include <QString>

// The user's private files: the server list names the user's portals, the web profiles
// hold the portal's session. Other accounts of the machine must not read them, whatever
// permissions an earlier version or the user's umask gave them.
namespace OwnerOnly {
const QFileDevice::Permissions FilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions FolderPermissions = FilePermissions | QFileDevice::ExeOwner;

// Takes every permission of the group and of other users from an existing file or folder.
// A missing path is left missing; failure is silent, as for every write of the data folder.
void restrict(const QString& path);
// Creates the folder and its missing parents, then restricts the folder itself.
void makeFolder(const QString& path);
} // namespace OwnerOnly

#endif // OWNERONLY_H
