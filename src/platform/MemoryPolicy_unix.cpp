#include "MemoryPolicy.h"

#include <cstdlib> // says __GLIBC__ where glibc is the C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// Blocks from this size up get a mapping of their own. glibc starts at 128 KiB, which
// would map the web engine's many mid-sized buffers one by one and cost more CPU time
// than it saves memory.
const int LargeBlockBytes = 1024 * 1024;
} // namespace

namespace MemoryPolicy {
void apply()
{
#ifdef __GLIBC__
    // glibc raises its threshold to the size of each mapped block freed. Start-up and the
    // first page load free large buffers, so later large buffers came from the heap, and
    // freed heap memory stayed with the process: about 14 MiB once a portal was shown.
    // A fixed threshold keeps large blocks mapped, and gives them back when freed.
    mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
#endif
}
} // namespace MemoryPolicy
