#ifndef FOCUSRING_H
#define FOCUSRING_H

#include <QObject>
#include <QPointer>

class QWidget;

// A visible frame around the widget the keyboard moved the focus to. The windows' style sheets
// hide Qt's own focus frame on most controls; this ring is drawn over the window instead, only
// after Tab, Shift+Tab or a shortcut, so a mouse user sees every window exactly as before.
class FocusRing : public QObject
{
public:
    // Watches the whole application; lives as long as it.
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusRing(QObject* parent);
    void surround(QWidget* target);
    void hide();

    QPointer<QWidget> ring;
    // Whether the last key or mouse press was a key. Qt also moves the focus "by Tab" when the
    // focused widget is hidden, as when the selection window switches its face.
    bool keyboardLast = false;
};

#endif // FOCUSRING_H
