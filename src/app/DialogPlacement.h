#ifndef DIALOGPLACEMENT_H
#define DIALOGPLACEMENT_H

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace DialogPlacement {
// Where a dialog of the given size goes over the reference window: centred
// horizontally, 30 pixels above the vertical centre. Halves truncate toward zero.
QPoint position(const QRect& reference, const QSize& dialog);
// Moves dialog to its position over reference's window. Where the desktop alone places windows
// (Wayland ignores the move), the dialog becomes the transient of reference's window instead,
// which lets the desktop put it over that window.
void place(QWidget* dialog, const QWidget* reference);
} // namespace DialogPlacement

#endif // DIALOGPLACEMENT_H
