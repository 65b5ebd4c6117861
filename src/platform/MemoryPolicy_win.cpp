#include "MemoryPolicy.h"

namespace MemoryPolicy {
void apply()
{
    // The Windows heap gives large blocks back to the system by itself.
}
} // namespace MemoryPolicy
