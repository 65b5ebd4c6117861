#ifndef NETWORKPROXY_H
#define NETWORKPROXY_H

// The client's one proxy decision. Qt Network takes the system's proxy settings (on Linux
// the variables http_proxy, https_proxy and no_proxy, on Windows the system settings); the
// update check and the transfer agent ask it for each address, and the web engine is told
// the same proxy before it starts, so that the page never goes another way.
namespace NetworkProxy {
// Once per process, before the first web profile. Later calls change nothing.
void apply();
} // namespace NetworkProxy

#endif // NETWORKPROXY_H
