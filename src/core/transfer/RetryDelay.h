#ifndef RETRYDELAY_H
#define RETRYDELAY_H

#include <QtGlobal>

// Capped exponential backoff for one job: 1 s, 2 s, 4 s ... at most 30 s, and a bounded
// number of attempts in a row, so a server that never recovers ends in a visible error.
class RetryDelay
{
public:
    static constexpr int FirstDelayMs = 1000;
    static constexpr int MaxDelayMs = 30000;
    static constexpr int MaxAttempts = 10;
    // Caps every wait, when set: tests run the whole sequence in a second or two.
    static constexpr const char* CeilingVariable = "NORV_TRANSFER_RETRY_CEILING_MS";

    RetryDelay()
    {
        const int ceiling = qEnvironmentVariableIntValue(CeilingVariable);
        m_maxDelayMs = ceiling > 0 ? qMin(ceiling, MaxDelayMs) : MaxDelayMs;
    }

    // The wait before the next attempt, -1 when attempts are used up.
    int next()
    {
        if (m_attempts >= MaxAttempts) {
            return -1;
        }
        const int delay = qMin(m_maxDelayMs, FirstDelayMs << qMin(m_attempts, 15));
        ++m_attempts;
        return delay;
    }
    // Progress was made: the next failure starts the sequence anew.
    void reset() { m_attempts = 0; }

private:
    int m_maxDelayMs;
    int m_attempts = 0;
};

#endif // RETRYDELAY_H
