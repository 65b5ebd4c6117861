#ifndef SERVERENTRY_H
#define SERVERENTRY_H

#include <QString>

// One saved portal server. The address identifies the entry and is compared exactly.
struct ServerEntry
{
    QString name;
    QString url;
    bool isDefault = false;

    // How the server is shown in the list, the Server menu and the combo box.
    QString displayText() const { return name + QStringLiteral(" (") + url + QLatin1Char(')'); }
};

#endif // SERVERENTRY_H
