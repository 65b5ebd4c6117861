#ifndef SERVERENTRY_H
#define SERVERENTRY_H

#include <QString>

// One saved portal server. The address identifies the entry and is compared exactly.
struct ServerEntry
{
    QString name;
    QString url;
    bool isDefault = false;

    // How a server is shown in the list, the Server menu and the combo box.
    static QString displayText(const QString& name, const QString& url)
    {
        return name + QStringLiteral(" (") + url + QLatin1Char(')');
    }
    QString displayText() const { return displayText(name, url); }
};

#endif // SERVERENTRY_H
