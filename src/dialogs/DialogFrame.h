#ifndef DIALOGFRAME_H
#define DIALOGFRAME_H

class QDialog;
class QPushButton;
class QString;

// The frame the small dialogs share: frameless, a white panel with a thin grey border selected
// by the dialog's own object name, and an 18 x 18 close button near the top right corner.
namespace DialogFrame {
// Sets up dialog's frame and returns its close button, placed at closeButtonX; the caller
// connects it to its own close slot. The dialog's size is the caller's.
QPushButton* apply(QDialog* dialog, const QString& objectName, int closeButtonX);
} // namespace DialogFrame

#endif // DIALOGFRAME_H
