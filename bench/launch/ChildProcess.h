#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

// The program under measurement: started with its standard output on a pipe, and ended
// together with every process it started.
class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Standard error goes to logPath, or nowhere when it is empty. Returns false if the
    // program could not be started.
    bool start(const std::vector<std::string>& command, const std::string& logPath);

    pid_t pid() const { return m_pid; }
    // Monotonic milliseconds just before the process was created.
    double startedAtMs() const { return m_startedAtMs; }
    int outputFd() const { return m_output; }
    // The complete lines of standard output that arrived since the last call.
    std::vector<std::string> takeLines();
    // True once the program itself has ended; its exit status is then in status.
    bool hasEnded(int& status);
    // Asks the whole process tree to end, then forces whatever is left after a grace period.
    void stopAll();

private:
    pid_t m_pid = -1;
    int m_output = -1;
    double m_startedAtMs = 0;
    bool m_reaped = false;
    std::string m_pending;
};

#endif // CHILDPROCESS_H
