#ifndef CSWITCHMODEUI_H
#define CSWITCHMODEUI_H

#include "CTipUI.h"

// Asks the user to confirm leaving browser mode for the client.
class CSwitchModeUI : public CTipUI
{
    Q_OBJECT

public:
    explicit CSwitchModeUI(QWidget* parent = nullptr);

public slots:
    void slot_ButtonOK();
};

#endif // CSWITCHMODEUI_H
