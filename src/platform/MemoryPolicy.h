#ifndef MEMORYPOLICY_H
#define MEMORYPOLICY_H

// How the C library's heap treats large blocks. Each platform has its own MemoryPolicy_<platform>.cpp.
namespace MemoryPolicy {
// Called once, before the application object exists.
void apply();
} // namespace MemoryPolicy

#endif // MEMORYPOLICY_H
