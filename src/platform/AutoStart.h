#ifndef AUTOSTART_H
#define AUTOSTART_H

#include <QString>

// Registers the program to start at the user's logon with the switches "-min -autorun",
// or removes that registration. Each platform has its own AutoStart_<platform>.cpp.
namespace AutoStart {
// Failures are silent: the registration stays as it was.
void apply(bool enabled);
} // namespace AutoStart

#endif // AUTOSTART_H
