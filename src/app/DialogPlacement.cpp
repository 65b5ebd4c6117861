#include "DialogPlacement.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace {
// Dialogs sit a little above centre, where the eye expects them.
const int RaiseAboveCentre = 30;
// Qt's Wayland platforms ("wayland", "wayland-egl" and the like).
const QString WaylandPlatform = QStringLiteral("wayland");
} // namespace

namespace DialogPlacement {
QPoint position(const QRect& reference, const QSize& dialog)
{
    const int x = reference.x() + reference.width() / 2 - dialog.width() / 2;
    const int y = reference.y() + reference.height() / 2 - dialog.height() / 2 - RaiseAboveCentre;
    return {x, y};
}

void place(QWidget* dialog, const QWidget* reference)
{
    dialog->move(position(reference->geometry(), dialog->size()));
    if (QGuiApplication::platformName().startsWith(WaylandPlatform)) {
        // The window must exist to take a transient parent; it is shown later, by its caller.
        dialog->winId();
        dialog->windowHandle()->setTransientParent(reference->windowHandle());
    }
}
} // namespace DialogPlacement
