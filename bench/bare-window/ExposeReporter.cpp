#include "ExposeReporter.h"

#include <QEvent>
#include <QTextStream>
#include <QWindow>

bool ExposeReporter::eventFilter(QObject* watched, QEvent* event)
{
    const auto* window = qobject_cast<QWindow*>(watched);
    if (!m_reported && event->type() == QEvent::Expose && window && window->isExposed()) {
        m_reported = true;
        QTextStream(stdout) << "exposed" << Qt::endl;
    }
    return QObject::eventFilter(watched, event);
}
