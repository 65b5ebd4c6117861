#ifndef SHELLFIXTURE_H
#define SHELLFIXTURE_H

class CMainWindow;

namespace ShellFixture {
// Builds the main window and the server selection window as the client's start-up does,
// up to and including the core services (the local service on a free port). handle_show
// reads the command line, so tests repeat its visible effects themselves.
CMainWindow* start(int language = 0);
} // namespace ShellFixture

#endif // SHELLFIXTURE_H
