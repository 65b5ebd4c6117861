#include "MessageLog.h"

#include <QMutex>
#include <QMutexLocker>

namespace {
const QString ConsolePrefix = QStringLiteral("javaScriptConsoleMessage: ");

QtMessageHandler previousHandler = nullptr;
// The local service logs from its own thread.
QMutex mutex;
QStringList messages;

void keepMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    {
        QMutexLocker locker(&mutex);
        messages << message;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    }
}

int hexValue(QChar c)
{
    const ushort code = c.unicode();
    if (code >= '0' && code <= '9') {
        return code - '0';
    }
    if (code >= 'a' && code <= 'f') {
        return code - 'a' + 10;
    }
    if (code >= 'A' && code <= 'F') {
        return code - 'A' + 10;
    }
    return -1;
}

// Reads digits hex digits at position into value; false if they are not all there.
bool readHex(const QString& text, int position, int digits, uint* value)
{
    if (position + digits > text.size()) {
        return false;
    }
    *value = 0;
    for (int index = position; index < position + digits; ++index) {
        const int digit = hexValue(text.at(index));
        if (digit < 0) {
            return false;
        }
        *value = *value * 16 + uint(digit);
    }
    return true;
}
} // namespace

namespace MessageLog {
void install()
{
    if (!previousHandler) {
        previousHandler = qInstallMessageHandler(keepMessage);
    }
}

int size()
{
    QMutexLocker locker(&mutex);
    return messages.size();
}

QStringList messagesSince(int from)
{
    QMutexLocker locker(&mutex);
    return messages.mid(from);
}

bool containsSince(int from, const QString& message)
{
    return messagesSince(from).contains(message);
}

QStringList startingWithSince(int from, const QString& prefix)
{
    QStringList found;
    for (const QString& message : messagesSince(from)) {
        if (message.startsWith(prefix)) {
            found << message;
        }
    }
    return found;
}

QStringList consoleMessagesSince(int from)
{
    QStringList found;
    for (const QString& message : startingWithSince(from, ConsolePrefix)) {
        QString text;
        // A line that cannot be read back is kept as it is, so a comparison shows it.
        found << (unquoteDebugString(message.mid(ConsolePrefix.size()), &text) ? text : message);
    }
    return found;
}

bool unquoteDebugString(const QString& quoted, QString* text)
{
    if (quoted.size() < 2 || !quoted.startsWith(QLatin1Char('"')) || !quoted.endsWith(QLatin1Char('"'))) {
        return false;
    }
    text->clear();
    const int end = quoted.size() - 1;
    for (int index = 1; index < end; ++index) {
        const QChar c = quoted.at(index);
        if (c == QLatin1Char('"')) {
            // Inside the string QDebug writes a quote only as the pair "" that keeps a hex
            // escape apart from a hex digit after it.
            if (index + 1 >= end || quoted.at(index + 1) != QLatin1Char('"')) {
                return false;
            }
            ++index;
            continue;
        }
        if (c != QLatin1Char('\\')) {
            text->append(c);
            continue;
        }
        if (++index >= end) {
            return false;
        }
        uint code = 0;
        switch (quoted.at(index).unicode()) {
        case '"':
        case '\\':
            text->append(quoted.at(index));
            break;
        case 'b':
            text->append(QLatin1Char('\b'));
            break;
        case 'f':
            text->append(QLatin1Char('\f'));
            break;
        case 'n':
            text->append(QLatin1Char('\n'));
            break;
        case 'r':
            text->append(QLatin1Char('\r'));
            break;
        case 't':
            text->append(QLatin1Char('\t'));
            break;
        case 'u':
            if (!readHex(quoted, index + 1, 4, &code)) {
                return false;
            }
            text->append(QChar(ushort(code)));
            index += 4;
            break;
        case 'U':
            if (!readHex(quoted, index + 1, 8, &code)) {
                return false;
            }
            *text += QString::fromUcs4(&code, 1);
            index += 8;
            break;
        default:
            return false;
        }
    }
    return true;
}
} // namespace MessageLog
