// bench-launch: starts a program and tells, from outside it, how long after its start it
// was ready: its windows exposed on the X server, a line on its standard output, or both.
// Optionally it then measures the memory of the program's whole process tree.
//
//     bench-launch [--title T [--windows N]] [--line TEXT] [--memory [--settle-ms MS]]
//                  [--timeout-ms MS] [--log FILE] -- PROGRAM [ARGUMENTS...]
//
// Prints "ready_ms <ms>", "cpu_ms <ms>" (CPU time the process tree had used by then, which
// load from elsewhere on the machine barely changes) and, with --memory, "memory_kb <kB>"
// and "private_kb <kB>" (see ProcessTree.h); exits 1 when the program ends or time runs
// out first.
#include "ChildProcess.h"
#include "Clock.h"
#include "LaunchOptions.h"
#include "ProcessTree.h"
#include "Readiness.h"
#include "WindowWatch.h"

#include <cstdio>
#include <poll.h>

namespace {
const int PollMs = 20;

// Handles output and X events until untilMs or until stopWhen says so; false if the
// program ends or time runs out first.
template<typename Predicate>
bool pump(ChildProcess& child, WindowWatch& watch, Readiness& readiness, double untilMs, Predicate stopWhen)
{
    pollfd fds[2] = {{child.outputFd(), POLLIN, 0}, {watch.fd(), POLLIN, 0}};
    while (Clock::nowMs() < untilMs) {
        poll(fds, watch.connected() ? 2 : 1, PollMs);
        const double nowMs = Clock::nowMs();
        for (const std::string& line : child.takeLines()) {
            readiness.noteLine(line, nowMs);
        }
        if (watch.connected()) {
            watch.handleEvents();
        }
        if (stopWhen()) {
            return true;
        }
        int status = 0;
        if (child.hasEnded(status)) {
            std::fprintf(stderr, "bench-launch: the program ended early (wait status %d)\n", status);
            return false;
        }
    }
    return false;
}

int run(const LaunchOptions& options)
{
    // Watching starts before the program does, so its first window cannot be missed.
    WindowWatch watch(options.title);
    if (!options.title.empty() && !watch.connected()) {
        std::fprintf(stderr, "bench-launch: cannot connect to the X server\n");
        return 1;
    }
    ChildProcess child;
    if (!child.start(options.command, options.logPath)) {
        std::perror("bench-launch: cannot start the program");
        return 1;
    }
    Readiness readiness(options);
    const double deadline = child.startedAtMs() + options.timeoutMs;
    if (!pump(child, watch, readiness, deadline, [&] { return readiness.readyAtMs(watch) >= 0; })) {
        int status = 0;
        if (!child.hasEnded(status)) {
            std::fprintf(stderr,
                         "bench-launch: not ready within %d ms (%s)\n",
                         options.timeoutMs,
                         readiness.progress(watch).c_str());
        }
        return 1;
    }
    std::printf("ready_ms %.1f\n", readiness.readyAtMs(watch) - child.startedAtMs());
    std::printf("cpu_ms %ld\n", ProcessTree::treeCpuMs(child.pid()));
    if (options.memory) {
        pump(child, watch, readiness, Clock::nowMs() + options.settleMs, [] { return false; });
        int status = 0;
        if (child.hasEnded(status)) {
            return 1;
        }
        std::printf("memory_kb %ld\n", ProcessTree::treeMemoryKb(child.pid()));
        std::printf("private_kb %ld\n", ProcessTree::treePrivateKb(child.pid()));
    }
    std::fflush(stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    std::string error;
    const std::optional<LaunchOptions> options = LaunchOptions::parse(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "bench-launch: %s\n", error.c_str());
        return 2;
    }
    return run(*options);
}
