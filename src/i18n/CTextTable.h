#ifndef CTEXTTABLE_H
#define CTEXTTABLE_H

#include <QString>
#include <QStringList>

// The interface texts, translated when the table is made with the translators installed then.
// Each member is named after its key, the source text in context "QObject"; a key no catalogue
// translates reads as itself. Switching language means making a new table.
class CTextTable
{
public:
    CTextTable();

    // The keys, in the order of the members below.
    static QStringList keys();

    QString Server;
    QString ExitServer;
    QString Help;
    QString About;
    QString MachineCode;
    QString CheckUpdate;
    QString ServerName;
    QString OK;
    QString Cancel;
    QString Tip;
    QString MachineCodeIs;
    QString UseNewestVersion;
    QString ConnectFailed;
    QString LowPermission;
    QString Language;
    QString Chinese;
    QString English;
    QString Version;
    QString TransferLog;
    QString Copy;
    QString Paste;
    QString Cut;
    QString Back;
    QString Forward;
    QString Reload;
    QString SelectAll;
    QString SaveAs;
    QString OriginalFile;
    QString FindNewVerIsDown;
    QString CheckUpdateFailed;
    QString Setting;
    QString AutoStart;
    QString MiniTray;
    QString Exit;
    QString ConnectNewServer;
    QString ServerAddress;
    QString ServerAlias;
    QString Continue;
    QString SelectServer;
    QString BrowserModel;
    QString BrowserModelPavo;
    QString ExitBrowserModel;
    QString SwitchModelTip;
    QString SetDefaultServer;
    QString UserManual;
    QString Tutorial;
    QString ProxyLogin;
    QString ProxyAsksForLogin;
    QString ProxyUser;
    QString ProxyPassword;
};

#endif // CTEXTTABLE_H
