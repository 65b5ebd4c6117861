#ifndef DESKTOPENTRY_H
#define DESKTOPENTRY_H

#include <QString>
#include <QStringList>

// Builds the XDG autostart entry that starts the client at logon.
namespace DesktopEntry {
// The Exec value: program and arguments quoted and escaped so that the desktop's
// launcher gives back exactly these strings, whatever characters the path holds.
QString execLine(const QString& program, const QStringList& arguments);
// The whole entry file.
QByteArray autostartEntry(const QString& program);
} // namespace DesktopEntry

#endif // DESKTOPENTRY_H
