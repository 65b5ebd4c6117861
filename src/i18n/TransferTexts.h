#ifndef TRANSFERTEXTS_H
#define TRANSFERTEXTS_H

#include <QString>

// The texts that tell the user about transfers, in the current language: translated in the
// context "Transfers" of the application catalogues each time they are asked for.
namespace TransferTexts {
// The context of these texts in the catalogues.
extern const char* const Context;
// running transfers are under way, together at percent.
QString running(int running, int percent);
// A notification's title when a transfer ended well or failed.
QString doneTitle();
QString failedTitle();
// The notification's action that shows the file in the file manager.
QString showFile();
// The tray's warning when the local service cannot listen on port: browser mode is off.
QString serviceUnreachable(int port);
} // namespace TransferTexts

#endif // TRANSFERTEXTS_H
