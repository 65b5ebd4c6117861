#ifndef ITEMWIDGETFILE_H
#define ITEMWIDGETFILE_H

#include <QWidget>

class QLabel;

// One saved server's row in the server selection window's popup list: its display text
// and a delete button. The accessible name holds the server's address, the object name its alias.
class ItemWidgetFile : public QWidget
{
    Q_OBJECT

public:
    explicit ItemWidgetFile(QWidget* parent = nullptr);

    QLabel* labelText = nullptr;

signals:
    void signal_mouseClick(QString s);

public slots:
    void slot_buttonDelete();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

#endif // ITEMWIDGETFILE_H
