#ifndef CLOCK_H
#define CLOCK_H

#include <chrono>

// Milliseconds on the monotonic clock; only differences mean anything.
namespace Clock {
inline double nowMs()
{
    using Milliseconds = std::chrono::duration<double, std::milli>;
    return std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace Clock

#endif // CLOCK_H
