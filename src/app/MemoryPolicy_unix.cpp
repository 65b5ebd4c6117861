#include "MemoryPolicy.h"

#include <cstdlib> // says __GLIBC__ where glibc is the C library

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
// glibc's default start for mapping blocks of their own.
const int LargeBlockBytes = 128 * 1024;
} // namespace

namespace MemoryPolicy {
void apply()
{
#ifdef __GLIBC__
    // glibc raises this threshold each time a mapped block is freed. The start-up frees
    // large buffers (images, the font list), so later large buffers came from the heap,
    // and freed heap memory stayed with the process: about 14 MiB once a portal was shown.
    // A fixed threshold keeps large blocks mapped, and gives them back when freed.
    mallopt(M_MMAP_THRESHOLD, LargeBlockBytes);
#endif
}
} // namespace MemoryPolicy
