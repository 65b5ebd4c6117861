#include "PageScript.h"

#include <QDebug>
#include <QTest>
#include <QWebEnginePage>

#include <memory>
#include <optional>

QVariant PageScript::evaluate(QWebEnginePage* page, const QString& script)
{
    // Shared with the callback, which may come after we stopped waiting.
    auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [answer](const QVariant& value) { *answer = value; });
    if (!QTest::qWaitFor([&answer] { return answer->has_value(); }, AnswerTimeoutMs)) {
        qWarning() << "no answer to" << script;
    }
    return answer->value_or(QVariant());
}
