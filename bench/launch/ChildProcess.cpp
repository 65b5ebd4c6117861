#include "ChildProcess.h"

#include "Clock.h"
#include "ProcessTree.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
const int GraceMs = 3000;
const int ReapPollMs = 20;

[[noreturn]] void execInChild(const std::vector<std::string>& command, int output, const std::string& logPath)
{
    dup2(output, STDOUT_FILENO);
    const int errors = open(logPath.empty() ? "/dev/null" : logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(errors, STDERR_FILENO);
    const int input = open("/dev/null", O_RDONLY);
    dup2(input, STDIN_FILENO);
    std::vector<char*> arguments;
    for (const std::string& argument : command) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    execvp(arguments[0], arguments.data());
    _exit(127);
}

// Reaps every ended child, which includes the program's orphans (see start); true once none is left.
bool reapAll()
{
    while (true) {
        const pid_t pid = waitpid(-1, nullptr, WNOHANG);
        if (pid > 0) {
            continue;
        }
        return pid < 0 && errno == ECHILD;
    }
}

void signalAll(int signal)
{
    for (const pid_t pid : ProcessTree::descendantsOf(getpid())) {
        kill(pid, signal);
    }
}

bool waitUntilAllReaped(int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += ReapPollMs) {
        if (reapAll()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ReapPollMs));
    }
    return reapAll();
}
} // namespace

ChildProcess::~ChildProcess()
{
    stopAll();
}

bool ChildProcess::start(const std::vector<std::string>& command, const std::string& logPath)
{
    // Processes the program leaves behind become ours, so none of them outlives the measurement.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    m_startedAtMs = Clock::nowMs();
    m_pid = fork();
    if (m_pid < 0) {
        return false;
    }
    if (m_pid == 0) {
        execInChild(command, pipeEnds[1], logPath);
    }
    close(pipeEnds[1]);
    m_output = pipeEnds[0];
    fcntl(m_output, F_SETFL, O_NONBLOCK);
    return true;
}

std::vector<std::string> ChildProcess::takeLines()
{
    char buffer[4096];
    ssize_t count = 0;
    while ((count = read(m_output, buffer, sizeof buffer)) > 0) {
        m_pending.append(buffer, std::size_t(count));
    }
    std::vector<std::string> lines;
    std::string::size_type end = 0;
    while ((end = m_pending.find('\n')) != std::string::npos) {
        lines.push_back(m_pending.substr(0, end));
        m_pending.erase(0, end + 1);
    }
    return lines;
}

bool ChildProcess::hasEnded(int& status)
{
    if (!m_reaped && m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return true;
    }
    return m_reaped;
}

void ChildProcess::stopAll()
{
    if (m_pid <= 0) {
        return;
    }
    signalAll(SIGTERM);
    if (!waitUntilAllReaped(GraceMs)) {
        signalAll(SIGKILL);
        waitUntilAllReaped(GraceMs);
    }
    if (m_output >= 0) {
        close(m_output);
    }
    m_output = -1;
    m_pid = -1;
}
