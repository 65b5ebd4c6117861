#ifndef SHELLFIXTURE_H
#define SHELLFIXTURE_H

#include <QStringList>

class CMainWindow;

// The shell inside a test, built by the client's own start-up (src/app/Shell.h), with the
// local service on a free port.
namespace ShellFixture {
// The command line of a client started with these switches.
QStringList commandLine(const QStringList& switches = {});
// The whole start-up, handle_show included, for a client started with these switches.
CMainWindow* start(const QStringList& switches = {});
// Start-up up to handle_show, with this language stored first: nothing is shown and no
// automatic login runs. A test that calls it says why it needs that.
CMainWindow* build(int language = 0);
// Stops what the exit routine stops and deletes both windows, leaving the event loop usable.
void stop(CMainWindow* window);
} // namespace ShellFixture

#endif // SHELLFIXTURE_H
