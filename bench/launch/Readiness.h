#ifndef READINESS_H
#define READINESS_H

#include "LaunchOptions.h"

#include <string>

class WindowWatch;

// Decides when the program has done everything awaited: the line written and the
// windows exposed, whichever came last.
class Readiness
{
public:
    explicit Readiness(const LaunchOptions& options);

    void noteLine(const std::string& line, double nowMs);
    // Monotonic ms at which the program became ready; negative while it is not.
    double readyAtMs(const WindowWatch& watch) const;
    // What has been seen so far, for a message when the program never became ready.
    std::string progress(const WindowWatch& watch) const;

private:
    const LaunchOptions& m_options;
    double m_lineAtMs = -1;
};

#endif // READINESS_H
