#ifndef PICKDIALOG_H
#define PICKDIALOG_H

#include <QStringList>

class QWidget;

// The desktop's open-files or choose-folder dialog, shown for the transfer agent in
// front of everything, also when no window of the client is visible.
namespace PickDialog {
// The chosen paths, none when the user cancelled. Runs modally on the GUI thread.
QStringList choose(bool folder, QWidget* parent);
} // namespace PickDialog

#endif // PICKDIALOG_H
