#ifndef CCOMBOX_H
#define CCOMBOX_H

#include <QComboBox>

// The saved-server combo box. Its list rows have no text of their own, so the wheel,
// which would step through them, must never change the selection.
class CCombox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void wheelEvent(QWheelEvent* event) override;
};

#endif // CCOMBOX_H
