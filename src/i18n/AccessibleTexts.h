#ifndef ACCESSIBLETEXTS_H
#define ACCESSIBLETEXTS_H

#include <QString>

// What a screen reader says for the controls that show an image instead of a text, in the
// current language: translated in the context "Accessible" each time they are asked for.
namespace AccessibleTexts {
// The close button of the frameless dialogs.
QString close();
// The delete button of a saved server's row.
QString deleteServer();
// The combo box that opens the list of saved servers.
QString savedServers();
} // namespace AccessibleTexts

#endif // ACCESSIBLETEXTS_H
