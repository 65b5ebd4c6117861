#include "SystemProxy.h"

// Qt Network asks WinHTTP: the user's settings, their PAC file and automatic discovery, each
// proxy a PAC file names in its order.
QStringList SystemProxy::forUrl(const QUrl& url)
{
    return qtNetworkWays(url);
}

bool SystemProxy::desktopDecides()
{
    return false;
}
