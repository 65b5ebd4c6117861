#include "DesktopEntry.h"

#include "app/ApplicationId.h"
#include "app/Product.h"

#include <algorithm>

namespace {
// Characters that force an argument into double quotes in an Exec value.
const QString ReservedCharacters = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// Characters that must carry a backslash inside double quotes.
const QString QuotedEscapes = QStringLiteral("\"`$\\");

QString quoteArgument(const QString& argument)
{
    const bool needsQuotes = argument.isEmpty()
        || std::any_of(argument.cbegin(), argument.cend(), [](QChar c) { return ReservedCharacters.contains(c); });
    if (!needsQuotes) {
        return argument;
    }
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (QuotedEscapes.contains(c)) {
            quoted += QLatin1Char('\\');
        }
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// A literal percent sign would otherwise be read as a field code.
QString escapeFieldCodes(QString text)
{
    return text.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

// The general escaping of string values, applied on top of the argument quoting.
QString escapeStringValue(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            escaped += QStringLiteral("\\\\");
            break;
        case '\n':
            escaped += QStringLiteral("\\n");
            break;
        case '\t':
            escaped += QStringLiteral("\\t");
            break;
        case '\r':
            escaped += QStringLiteral("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}
} // namespace

namespace DesktopEntry {
QString execLine(const QString& program, const QStringList& arguments)
{
    QStringList quoted {quoteArgument(program)};
    for (const QString& argument : arguments) {
        quoted << quoteArgument(argument);
    }
    return escapeStringValue(escapeFieldCodes(quoted.join(QLatin1Char(' '))));
}

QByteArray autostartEntry(const QString& program)
{
    const QStringList switches {QStringLiteral("-min"), QStringLiteral("-autorun")};
    const QString entry =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=%1\n"
                       "Icon=%2\n"
                       "Exec=%3\n"
                       "X-GNOME-Autostart-enabled=true\n"
                       "X-GNOME-UsesNotifications=true\n")
            .arg(QString::fromUtf8(ProductName), QString::fromLatin1(ApplicationId), execLine(program, switches));
    return entry.toUtf8();
}
} // namespace DesktopEntry
