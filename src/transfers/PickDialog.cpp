#include "PickDialog.h"

#include <QFileDialog>

namespace PickDialog {
QStringList choose(bool folder, QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(folder ? QFileDialog::Directory : QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ShowDirsOnly, folder);
    // The page asked from a browser perhaps: the dialog must not open behind it.
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}
} // namespace PickDialog
