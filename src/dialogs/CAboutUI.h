#ifndef CABOUTUI_H
#define CABOUTUI_H

#include <QDialog>

// The product's logo, version, site and maker, and a way to the folder holding the
// settings and the server list.
class CAboutUI : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutUI(QWidget* parent = nullptr);

public slots:
    void slot_buttonClose();
    void slot_buttonLog();
};

#endif // CABOUTUI_H
