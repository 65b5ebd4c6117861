#ifndef PROCESSTREE_H
#define PROCESSTREE_H

#include <sys/types.h>
#include <vector>

// The processes a program started, read from /proc.
namespace ProcessTree {
// Every process below root (children, their children, ...), not root itself.
std::vector<pid_t> descendantsOf(pid_t root);
// Proportional set size: each shared page counted once across all processes that map it,
// so the sum over a process tree is what the tree costs the machine. Falls back to the
// resident size where the kernel has no smaps_rollup. 0 when the process is gone.
long memoryKb(pid_t pid);
// The anonymous and shared-memory part of memoryKb: pages no program outside the tree
// maps, so unlike library pages its share does not change with what else runs.
long privateKb(pid_t pid);
// User and system CPU time the process has used so far, all its threads included.
long cpuMs(pid_t pid);
// memoryKb, privateKb and cpuMs summed over root and every descendant.
long treeMemoryKb(pid_t root);
long treePrivateKb(pid_t root);
long treeCpuMs(pid_t root);
} // namespace ProcessTree

#endif // PROCESSTREE_H
