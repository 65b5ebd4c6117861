#include "EngineProxy.h"

// On Windows the engine and Qt Network both read the system's proxy settings, for each
// address alike (bypass list and automatic configuration included).
QStringList EngineProxy::switches()
{
    return {};
}
