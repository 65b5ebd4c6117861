#ifndef DIALOGPLACEMENT_H
#define DIALOGPLACEMENT_H

#include <QPoint>
#include <QRect>
#include <QSize>

namespace DialogPlacement {
// Where a dialog of the given size goes over the reference window: centred
// horizontally, 30 pixels above the vertical centre. Halves truncate toward zero.
QPoint position(const QRect& reference, const QSize& dialog);
} // namespace DialogPlacement

#endif // DIALOGPLACEMENT_H
