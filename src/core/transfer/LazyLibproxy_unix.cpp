// libproxy, opened on the first proxy decision: most starts make none before a transfer, and
// linked, the library would be mapped and searched by every symbol lookup of every start.
// Without the library there is no factory, and every address goes direct.
#include "core/LazyLibrary.h"

#include <proxy.h>

namespace {
const LazyLibrary Libproxy {"proxy", 1};
} // namespace

extern "C" {
pxProxyFactory* px_proxy_factory_new()
{
    static const auto call = Libproxy.function<decltype(&px_proxy_factory_new)>("px_proxy_factory_new");
    return call ? call() : nullptr;
}

char** px_proxy_factory_get_proxies(pxProxyFactory* self, const char* url)
{
    static const auto call = Libproxy.function<decltype(&px_proxy_factory_get_proxies)>("px_proxy_factory_get_proxies");
    return call ? call(self, url) : nullptr;
}

void px_proxy_factory_free_proxies(char** proxies)
{
    static const auto call =
        Libproxy.function<decltype(&px_proxy_factory_free_proxies)>("px_proxy_factory_free_proxies");
    if (call) {
        call(proxies);
    }
}
}
