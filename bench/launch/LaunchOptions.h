#ifndef LAUNCHOPTIONS_H
#define LAUNCHOPTIONS_H

#include <optional>
#include <string>
#include <vector>

// What bench-launch waits for, and the program it starts.
struct LaunchOptions
{
    // Top-level windows with exactly this title; empty: no window is awaited.
    std::string title;
    // How many distinct windows with the title must have been exposed.
    int windows = 1;
    // A line the program must write to standard output; empty: none.
    std::string line;
    // With memory: how long to wait after being ready before measuring.
    int settleMs = 2000;
    bool memory = false;
    int timeoutMs = 60000;
    // Where the program's standard error goes; empty: nowhere.
    std::string logPath;
    std::vector<std::string> command;

    // Returns nothing and explains why in error when the arguments make no sense.
    static std::optional<LaunchOptions> parse(int argc, char** argv, std::string& error);
};

#endif // LAUNCHOPTIONS_H
