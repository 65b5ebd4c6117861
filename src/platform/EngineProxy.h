#ifndef ENGINEPROXY_H
#define ENGINEPROXY_H

#include <QStringList>

// The engine's command-line switches that make it take the proxy Qt Network takes.
namespace EngineProxy {
// Empty where the engine reads the very settings Qt Network reads.
QStringList switches();
} // namespace EngineProxy

#endif // ENGINEPROXY_H
