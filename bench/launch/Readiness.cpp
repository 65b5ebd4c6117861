#include "Readiness.h"

#include "WindowWatch.h"

#include <algorithm>

Readiness::Readiness(const LaunchOptions& options)
    : m_options(options)
{
}

void Readiness::noteLine(const std::string& line, double nowMs)
{
    if (m_lineAtMs < 0 && line == m_options.line) {
        m_lineAtMs = nowMs;
    }
}

double Readiness::readyAtMs(const WindowWatch& watch) const
{
    double ready = 0;
    if (!m_options.line.empty()) {
        if (m_lineAtMs < 0) {
            return -1;
        }
        ready = m_lineAtMs;
    }
    if (!m_options.title.empty()) {
        const std::vector<double>& exposures = watch.exposures();
        if (int(exposures.size()) < m_options.windows) {
            return -1;
        }
        ready = std::max(ready, exposures.at(std::size_t(m_options.windows - 1)));
    }
    return ready;
}

std::string Readiness::progress(const WindowWatch& watch) const
{
    return std::string("line ") + (m_lineAtMs < 0 ? "not seen" : "seen") + ", "
        + std::to_string(watch.exposures().size()) + " of " + std::to_string(m_options.windows) + " windows exposed";
}
