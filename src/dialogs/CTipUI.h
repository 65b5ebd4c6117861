#ifndef CTIPUI_H
#define CTIPUI_H

#include <QDialog>

// The frame of the small message dialogs: a frameless white 310 x 170 panel with a
// warning icon, the title "Tips" and a close button. Subclasses add message and buttons.
class CTipUI : public QDialog
{
    Q_OBJECT

public:
    explicit CTipUI(QWidget* parent = nullptr);

public slots:
    void slot_buttonClose();
};

#endif // CTIPUI_H
