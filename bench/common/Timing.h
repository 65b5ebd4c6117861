#ifndef TIMING_H
#define TIMING_H

#include <QString>

#include <functional>

// Timing of steps that run on the GUI thread of a benchmark program.
namespace Timing {
// Delivers what a step left for the event loop (posted events, deferred deletions), as
// the client's loop would right after it, without waiting for any input.
void settle();
// Microseconds the step takes, including settle().
double microseconds(const std::function<void()>& step);
// Runs the event loop for ms milliseconds.
void waitMs(int ms);
// Writes "name value" on a line of standard output, for scripts/bench.
void report(const QString& name, double value);
} // namespace Timing

#endif // TIMING_H
