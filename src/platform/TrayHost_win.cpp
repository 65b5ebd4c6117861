#include "TrayHost.h"

namespace TrayHost {
bool showsMenuItself()
{
    // The Windows notification area tells the icon of a right click and shows no menu of its own.
    return false;
}
} // namespace TrayHost
