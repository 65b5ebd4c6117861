#include "FocusRing.h"

#include <QApplication>
#include <QFocusEvent>
#include <QPainter>
#include <QWidget>

namespace {
const int Width = 2;
// Dark grey: seen on the white panels and on the blue buttons alike.
const QColor Colour(51, 51, 51);

// The ring itself: transparent inside, never in the way of the mouse.
class Ring : public QWidget
{
public:
    explicit Ring(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(Colour, Width));
        painter.drawRect(rect().adjusted(Width / 2, Width / 2, -Width / 2, -Width / 2));
    }
};

bool fromKeyboard(Qt::FocusReason reason)
{
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
}
} // namespace

void FocusRing::install()
{
    qApp->installEventFilter(new FocusRing(qApp));
}

FocusRing::FocusRing(QObject* parent)
    : QObject(parent)
{
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) {
        keyboardLast = event->type() == QEvent::KeyPress;
    } else if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (keyboardLast && fromKeyboard(static_cast<QFocusEvent*>(event)->reason()) && !widget->isWindow()) {
            surround(widget);
        } else {
            hide();
        }
    }
    return false;
}

void FocusRing::surround(QWidget* target)
{
    // An editable box's field has the focus; the ring goes round the whole box.
    QWidget* framed =
        target->parentWidget() && target->parentWidget()->focusProxy() == target ? target->parentWidget() : target;
    QWidget* window = framed->window();
    if (!ring || ring->parentWidget() != window) {
        delete ring;
        ring = new Ring(window);
    }
    const QRect area(framed->mapTo(window, QPoint(0, 0)), framed->size());
    ring->setGeometry(area.adjusted(-Width, -Width, Width, Width));
    ring->raise();
    ring->show();
}

void FocusRing::hide()
{
    if (ring) {
        ring->hide();
    }
}
