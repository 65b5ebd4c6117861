#include "PageHeaders.h"

#include <QJsonObject>
#include <QRegularExpression>

namespace {
// Anchored as a whole: "$" alone would also take a name ending in a line feed.
const QRegularExpression Token(QRegularExpression::anchoredPattern(QStringLiteral("[!#$%&'*+.^_`|~0-9A-Za-z-]+")));
const QStringList Reserved = {
    QStringLiteral("host"),
    QStringLiteral("content-length"),
    QStringLiteral("transfer-encoding"),
    QStringLiteral("connection"),
    QStringLiteral("keep-alive"),
    QStringLiteral("proxy-connection"),
    QStringLiteral("te"),
    QStringLiteral("trailer"),
    QStringLiteral("upgrade"),
    QStringLiteral("expect"),
    QStringLiteral("range"),
    QStringLiteral("if-range"),
    QStringLiteral("content-type"),
};
const QStringList ReservedPrefixes = {QStringLiteral("upload-"), QStringLiteral("tus-"), QStringLiteral("proxy-")};

bool isReserved(const QString& name)
{
    const QString lower = name.toLower();
    if (Reserved.contains(lower)) {
        return true;
    }
    for (const QString& prefix : ReservedPrefixes) {
        if (lower.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

bool isFieldValue(const QString& value)
{
    for (const QChar c : value) {
        if (c.unicode() > 0xff || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0) {
            return false;
        }
    }
    return true;
}
} // namespace

namespace PageHeaders {
bool parse(const QJsonValue& value, HeaderList& headers, QString& error)
{
    headers.clear();
    if (value.isUndefined() || value.isNull()) {
        return true;
    }
    if (!value.isObject()) {
        error = QStringLiteral("headers must be an object");
        return false;
    }
    // Taken whole or not at all: a refused body hands no field over.
    HeaderList taken;
    const QJsonObject fields = value.toObject();
    for (auto field = fields.constBegin(); field != fields.constEnd(); ++field) {
        if (!Token.match(field.key()).hasMatch() || !field.value().isString()
            || !isFieldValue(field.value().toString())) {
            error = QStringLiteral("invalid header field %1").arg(field.key());
            return false;
        }
        if (isReserved(field.key())) {
            error = QStringLiteral("the header field %1 cannot be set").arg(field.key());
            return false;
        }
        taken.append({field.key().toLatin1(), field.value().toString().toLatin1()});
    }
    headers = taken;
    return true;
}
} // namespace PageHeaders
