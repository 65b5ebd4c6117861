#ifndef OUTPUTLINES_H
#define OUTPUTLINES_H

// The lines the client writes for programs that watch it from outside: tests, scripts/demo,
// scripts/bench and the package test wait for them. Their texts are a contract; they are
// spelled here once, and every C++ watcher takes them from here.
namespace OutputLines {
// Standard output, after each portal load that the client started: the prefix, then "1" when the
// page loaded and carried the portal marker, "0" otherwise, then a newline.
const char LoadFinished[] = "Slot_LoadUrlFinish ";
const char LoadAccepted[] = "Slot_LoadUrlFinish 1\n";
const char LoadRefused[] = "Slot_LoadUrlFinish 0\n";

// Standard output, once, when the exit routine has stopped the services and ends the run.
const char ExitRoutine[] = "handle_exit_application\n";

// Standard error, when a left click on the tray icon brings back the server selection window
// (rather than the portal). The text is a placeholder kept from earlier clients: it marks only
// that the click reached that window, and watchers rely on it as it is.
const char TrayShowsSelection[] = "xxxxxxxxxxxxxxxxxx\n";

// A debug line of the category norv.app (on with QT_LOGGING_RULES): the core services are
// created and the local service was asked to start, so start-up has reached its last step.
const char ServicesStarted[] = "RegisterBrowserActive StartHttpdServer";

// A debug line of the category norv.app: a later start of the client asked this one to show
// its window.
const char ShowRequested[] = "a later start asks to show the window";
} // namespace OutputLines

#endif // OUTPUTLINES_H
