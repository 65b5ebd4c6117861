#ifndef CMACHINECODEUI_H
#define CMACHINECODEUI_H

#include "CTipUI.h"

class QLabel;

// Shows the device code, so the user can pass it on, and copies it to the clipboard.
class CMachineCodeUI : public CTipUI
{
    Q_OBJECT

public:
    explicit CMachineCodeUI(QWidget* parent = nullptr);

    QLabel* codeLabel = nullptr;

public slots:
    void Slot_ButtonOK();
    void slot_ActCopy();

private:
    void showCodeMenu(const QPoint& position);
};

#endif // CMACHINECODEUI_H
