#ifndef PAGESCRIPT_H
#define PAGESCRIPT_H

#include <QString>
#include <QVariant>

class QWebEnginePage;

namespace PageScript {
const int AnswerTimeoutMs = 10000;

// Runs script in page and returns its value; invalid, with a warning, when no answer comes in
// time. An answer that comes later is dropped safely.
QVariant evaluate(QWebEnginePage* page, const QString& script, int timeoutMs = AnswerTimeoutMs);
} // namespace PageScript

#endif // PAGESCRIPT_H
