#include "LaunchOptions.h"

#include <cstdlib>

namespace {
bool isInteger(const std::string& text)
{
    char* end = nullptr;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}
} // namespace

std::optional<LaunchOptions> LaunchOptions::parse(int argc, char** argv, std::string& error)
{
    LaunchOptions options;
    int index = 1;
    for (; index < argc && std::string(argv[index]) != "--"; ++index) {
        const std::string name = argv[index];
        if (name == "--memory") {
            options.memory = true;
            continue;
        }
        if (index + 1 >= argc) {
            error = name + " needs a value";
            return std::nullopt;
        }
        const std::string value = argv[++index];
        if (name == "--title") {
            options.title = value;
        } else if (name == "--line") {
            options.line = value;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (!isInteger(value)) {
            error = "unknown option or bad number: " + name + " " + value;
            return std::nullopt;
        } else if (name == "--windows") {
            options.windows = std::atoi(value.c_str());
        } else if (name == "--settle-ms") {
            options.settleMs = std::atoi(value.c_str());
        } else if (name == "--timeout-ms") {
            options.timeoutMs = std::atoi(value.c_str());
        } else {
            error = "unknown option: " + name;
            return std::nullopt;
        }
    }
    for (++index; index < argc; ++index) {
        options.command.emplace_back(argv[index]);
    }
    if (options.command.empty()) {
        error = "no program given after --";
        return std::nullopt;
    }
    if (options.windows < 1) {
        error = "--windows must be at least 1";
        return std::nullopt;
    }
    if (options.title.empty() && options.line.empty()) {
        error = "nothing to wait for: give --title or --line";
        return std::nullopt;
    }
    return options;
}
