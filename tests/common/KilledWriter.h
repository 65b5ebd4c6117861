#ifndef KILLEDWRITER_H
#define KILLEDWRITER_H

#include <QString>
#include <QStringList>

#include <functional>

// A helper program that rewrites one file forever, alternating between two contents, and
// says so in a line on standard output each time one is on disk; the test kills it at random moments.
namespace KilledWriter {
// Which of the writer's two contents (0 or 1) the file holds, -1 for neither.
using ContentOf = std::function<int(const QString& path)>;

// Starts the writer `kills` times, kills it 1 to 40 ms after it announced the first content
// (every other time: the second),
// and fails the running test when the file then holds neither content, or when one of the
// two was never seen (the kills did not land during the rewriting). Call it last in a case.
void killRepeatedly(
    const QString& program, const QStringList& arguments, const QString& path, int kills, const ContentOf& contentOf);
} // namespace KilledWriter

#endif // KILLEDWRITER_H
