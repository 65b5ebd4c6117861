#ifndef CPROXYLOGINUI_H
#define CPROXYLOGINUI_H

#include "dialogs/CTipUI.h"

class QLineEdit;

// Asks for the user name and password a proxy wants (407). What the user types is handed
// back to the caller and never stored.
class CProxyLoginUI : public CTipUI
{
    Q_OBJECT

public:
    // proxyHost as "host:port"; user is filled in with the name given last.
    CProxyLoginUI(const QString& proxyHost, const QString& user, QWidget* parent = nullptr);

    QString user() const;
    QString password() const;

    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
};

#endif // CPROXYLOGINUI_H
