#ifndef MESSAGELOG_H
#define MESSAGELOG_H

#include <QString>
#include <QStringList>

// Keeps every message the test process logs (qDebug and the rest), so a test can wait for
// a line the code under test writes. Messages still reach the handler that was installed
// before, so the test's output is unchanged.
namespace MessageLog {
void install();

// Messages logged so far; a test notes size() before acting and looks only at what follows.
int size();
QStringList messagesSince(int from);
bool containsSince(int from, const QString& message);
// Messages since from that start with prefix.
QStringList startingWithSince(int from, const QString& prefix);

// What pages wrote to their console since from, in order, as the pages wrote it. The page
// logs "javaScriptConsoleMessage: <text>" with text quoted by QDebug; this undoes the quoting.
QStringList consoleMessagesSince(int from);

// The text QDebug quoted as quoted ("..." with its escapes); false when quoted is not such a string.
bool unquoteDebugString(const QString& quoted, QString* text);
} // namespace MessageLog

#endif // MESSAGELOG_H
