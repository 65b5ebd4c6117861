#include "ProcessTree.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {
// Positions in /proc/<pid>/stat counted from the state, the first field after the name.
const std::size_t ParentField = 1;
const std::size_t UserTimeField = 11;
const std::size_t SystemTimeField = 12;

std::string procPath(pid_t pid, const char* file)
{
    return "/proc/" + std::to_string(pid) + "/" + file;
}

// The fields of /proc/<pid>/stat after the name, which may itself hold ") "; empty when gone.
std::vector<std::string> statFields(pid_t pid)
{
    std::ifstream stat(procPath(pid, "stat"));
    std::string line;
    std::getline(stat, line);
    const std::string::size_type nameEnd = line.rfind(')');
    if (nameEnd == std::string::npos) {
        return {};
    }
    std::istringstream rest(line.substr(nameEnd + 1));
    return {std::istream_iterator<std::string>(rest), std::istream_iterator<std::string>()};
}

std::multimap<pid_t, pid_t> childrenByParent()
{
    std::multimap<pid_t, pid_t> children;
    DIR* proc = opendir("/proc");
    if (!proc) {
        return children;
    }
    while (const dirent* entry = readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        const std::vector<std::string> fields = pid > 0 ? statFields(pid) : std::vector<std::string>();
        if (fields.size() > ParentField) {
            children.emplace(std::atoi(fields[ParentField].c_str()), pid);
        }
    }
    closedir(proc);
    return children;
}

// The number after label in a file of "Label:   1234 kB" lines; -1 when the file or the label is missing.
long fieldKb(const std::string& path, const std::string& label)
{
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, label.size(), label) == 0) {
            return std::atol(line.c_str() + label.size());
        }
    }
    return -1;
}

long sumOverTree(pid_t root, long (*measure)(pid_t))
{
    long total = measure(root);
    for (const pid_t pid : ProcessTree::descendantsOf(root)) {
        total += measure(pid);
    }
    return total;
}
} // namespace

namespace ProcessTree {
std::vector<pid_t> descendantsOf(pid_t root)
{
    const std::multimap<pid_t, pid_t> children = childrenByParent();
    std::vector<pid_t> found;
    std::vector<pid_t> pending {root};
    while (!pending.empty()) {
        const pid_t parent = pending.back();
        pending.pop_back();
        const auto range = children.equal_range(parent);
        for (auto it = range.first; it != range.second; ++it) {
            found.push_back(it->second);
            pending.push_back(it->second);
        }
    }
    return found;
}

long memoryKb(pid_t pid)
{
    const long pss = fieldKb(procPath(pid, "smaps_rollup"), "Pss:");
    if (pss >= 0) {
        return pss;
    }
    const long rss = fieldKb(procPath(pid, "status"), "VmRSS:");
    return rss >= 0 ? rss : 0;
}

long privateKb(pid_t pid)
{
    const std::string rollup = procPath(pid, "smaps_rollup");
    return std::max(0L, fieldKb(rollup, "Pss_Anon:")) + std::max(0L, fieldKb(rollup, "Pss_Shmem:"));
}

long cpuMs(pid_t pid)
{
    const std::vector<std::string> fields = statFields(pid);
    if (fields.size() <= SystemTimeField) {
        return 0;
    }
    const long ticks = std::atol(fields[UserTimeField].c_str()) + std::atol(fields[SystemTimeField].c_str());
    return ticks * 1000 / sysconf(_SC_CLK_TCK);
}

long treeMemoryKb(pid_t root)
{
    return sumOverTree(root, memoryKb);
}

long treePrivateKb(pid_t root)
{
    return sumOverTree(root, privateKb);
}

long treeCpuMs(pid_t root)
{
    return sumOverTree(root, cpuMs);
}
} // namespace ProcessTree
