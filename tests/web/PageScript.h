#ifndef PAGESCRIPT_H
#define PAGESCRIPT_H

#include <QString>
#include <QVariant>

class QWebEnginePage;

namespace PageScript {
// Generous: a busy two-core machine may take seconds to answer.
const int AnswerTimeoutMs = 10000;

// Runs script in page and returns its value; invalid when no answer comes.
QVariant evaluate(QWebEnginePage* page, const QString& script);
} // namespace PageScript

#endif // PAGESCRIPT_H
