#include "DialogPlacement.h"

namespace {
// Dialogs sit a little above centre, where the eye expects them.
const int RaiseAboveCentre = 30;
} // namespace

namespace DialogPlacement {
QPoint position(const QRect& reference, const QSize& dialog)
{
    const int x = reference.x() + reference.width() / 2 - dialog.width() / 2;
    const int y = reference.y() + reference.height() / 2 - dialog.height() / 2 - RaiseAboveCentre;
    return {x, y};
}
} // namespace DialogPlacement
