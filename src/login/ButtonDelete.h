#ifndef BUTTONDELETE_H
#define BUTTONDELETE_H

#include <QPushButton>

// The delete button of a saved server's row: a type of its own, looked up by the row's users.
class ButtonDelete : public QPushButton
{
public:
    using QPushButton::QPushButton;
};

#endif // BUTTONDELETE_H
