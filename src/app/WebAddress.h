#ifndef WEBADDRESS_H
#define WEBADDRESS_H

#include <QString>

// Whether the portal view may load url: only http and https addresses are portals.
inline bool isWebAddress(const QString& url)
{
    return url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
        || url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive);
}

#endif // WEBADDRESS_H
