#ifndef EXPOSEREPORTER_H
#define EXPOSEREPORTER_H

#include <QObject>

// Writes "exposed" to standard output the first time the window it watches is exposed.
class ExposeReporter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_reported = false;
};

#endif // EXPOSEREPORTER_H
