#ifndef GNOMEPROXYSETTINGS_H
#define GNOMEPROXYSETTINGS_H

#include <QString>
#include <QStringList>

// GNOME's proxy settings, read where libproxy reads them (in a GNOME session, where they win
// over the environment), for the web engine, which is told them on its command line.
class GnomeProxySettings
{
public:
    enum class Mode { NotInUse, None, Manual, Automatic };

    // Reads them now; NotInUse outside a GNOME session or without GNOME's schema.
    GnomeProxySettings();

    Mode mode = Mode::NotInUse;
    // Automatic: the PAC file's address, empty when one is discovered (WPAD).
    QString pacUrl;
    // Manual: hosts and networks reached directly.
    QStringList ignoredHosts;
};

#endif // GNOMEPROXYSETTINGS_H
