#include "JavaScript.h"

namespace {
const char16_t LineSeparator = 0x2028;
const char16_t ParagraphSeparator = 0x2029;

QString unicodeEscape(char16_t code)
{
    return QStringLiteral("\\u%1").arg(int(code), 4, 16, QLatin1Char('0'));
}
} // namespace

namespace JavaScript {
QString stringLiteral(const QString& text)
{
    QString literal = QStringLiteral("\"");
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            literal += QLatin1Char('\\');
            literal += c;
        } else if (code < 0x20 || code == 0x7f || code == LineSeparator || code == ParagraphSeparator
                   || c.isSurrogate()) {
            // Control characters and line terminators would end or break the literal;
            // a lone surrogate half is passed on as the same code unit.
            literal += unicodeEscape(code);
        } else {
            literal += c;
        }
    }
    return literal + QLatin1Char('"');
}

QString call(const QString& function, const QStringList& arguments)
{
    QStringList literals;
    for (const QString& argument : arguments) {
        literals << stringLiteral(argument);
    }
    return function + QLatin1Char('(') + literals.join(QLatin1Char(',')) + QLatin1Char(')');
}
} // namespace JavaScript
