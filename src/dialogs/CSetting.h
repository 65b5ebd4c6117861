#ifndef CSETTING_H
#define CSETTING_H

#include <QDialog>

class QCheckBox;

// The two preferences: start with the system, and keep running in the tray when a window closes.
class CSetting : public QDialog
{
    Q_OBJECT

public:
    explicit CSetting(QWidget* parent = nullptr);

    QCheckBox* autoStartBox = nullptr;
    QCheckBox* miniTrayBox = nullptr;

public slots:
    void slot_ButtonClose();
    void slot_ButtonOK();
};

#endif // CSETTING_H
