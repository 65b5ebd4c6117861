#include "i18n/CTextTable.h"

#include <QObject>

#include <iterator>

namespace {
struct Entry
{
    const char* key;
    QString CTextTable::*member;
};

// One row per member, in member order; the keys are marked so lupdate finds them.
constexpr Entry entries[] = {
    {QT_TRANSLATE_NOOP("QObject", "Server"), &CTextTable::Server},
    {QT_TRANSLATE_NOOP("QObject", "ExitServer"), &CTextTable::ExitServer},
    {QT_TRANSLATE_NOOP("QObject", "Help"), &CTextTable::Help},
    {QT_TRANSLATE_NOOP("QObject", "About"), &CTextTable::About},
    {QT_TRANSLATE_NOOP("QObject", "MachineCode"), &CTextTable::MachineCode},
    {QT_TRANSLATE_NOOP("QObject", "CheckUpdate"), &CTextTable::CheckUpdate},
    {QT_TRANSLATE_NOOP("QObject", "ServerName"), &CTextTable::ServerName},
    {QT_TRANSLATE_NOOP("QObject", "OK"), &CTextTable::OK},
    {QT_TRANSLATE_NOOP("QObject", "Cancel"), &CTextTable::Cancel},
    {QT_TRANSLATE_NOOP("QObject", "Tip"), &CTextTable::Tip},
    {QT_TRANSLATE_NOOP("QObject", "MachineCodeIs"), &CTextTable::MachineCodeIs},
    {QT_TRANSLATE_NOOP("QObject", "UseNewestVersion"), &CTextTable::UseNewestVersion},
    {QT_TRANSLATE_NOOP("QObject", "ConnectFailed"), &CTextTable::ConnectFailed},
    {QT_TRANSLATE_NOOP("QObject", "LowPermission"), &CTextTable::LowPermission},
    {QT_TRANSLATE_NOOP("QObject", "Language"), &CTextTable::Language},
    {QT_TRANSLATE_NOOP("QObject", "Chinese"), &CTextTable::Chinese},
    {QT_TRANSLATE_NOOP("QObject", "English"), &CTextTable::English},
    {QT_TRANSLATE_NOOP("QObject", "Version"), &CTextTable::Version},
    {QT_TRANSLATE_NOOP("QObject", "TransferLog"), &CTextTable::TransferLog},
    {QT_TRANSLATE_NOOP("QObject", "Copy"), &CTextTable::Copy},
    {QT_TRANSLATE_NOOP("QObject", "Paste"), &CTextTable::Paste},
    {QT_TRANSLATE_NOOP("QObject", "Cut"), &CTextTable::Cut},
    {QT_TRANSLATE_NOOP("QObject", "Back"), &CTextTable::Back},
    {QT_TRANSLATE_NOOP("QObject", "Forward"), &CTextTable::Forward},
    {QT_TRANSLATE_NOOP("QObject", "Reload"), &CTextTable::Reload},
    {QT_TRANSLATE_NOOP("QObject", "SelectAll"), &CTextTable::SelectAll},
    {QT_TRANSLATE_NOOP("QObject", "SaveAs"), &CTextTable::SaveAs},
    {QT_TRANSLATE_NOOP("QObject", "OriginalFile"), &CTextTable::OriginalFile},
    {QT_TRANSLATE_NOOP("QObject", "FindNewVerIsDown"), &CTextTable::FindNewVerIsDown},
    {QT_TRANSLATE_NOOP("QObject", "CheckUpdateFailed"), &CTextTable::CheckUpdateFailed},
    {QT_TRANSLATE_NOOP("QObject", "Setting"), &CTextTable::Setting},
    {QT_TRANSLATE_NOOP("QObject", "AutoStart"), &CTextTable::AutoStart},
    {QT_TRANSLATE_NOOP("QObject", "MiniTray"), &CTextTable::MiniTray},
    {QT_TRANSLATE_NOOP("QObject", "Exit"), &CTextTable::Exit},
    {QT_TRANSLATE_NOOP("QObject", "ConnectNewServer"), &CTextTable::ConnectNewServer},
    {QT_TRANSLATE_NOOP("QObject", "ServerAddress"), &CTextTable::ServerAddress},
    {QT_TRANSLATE_NOOP("QObject", "ServerAlias"), &CTextTable::ServerAlias},
    {QT_TRANSLATE_NOOP("QObject", "Continue"), &CTextTable::Continue},
    {QT_TRANSLATE_NOOP("QObject", "SelectServer"), &CTextTable::SelectServer},
    {QT_TRANSLATE_NOOP("QObject", "BrowserModel"), &CTextTable::BrowserModel},
    {QT_TRANSLATE_NOOP("QObject", "BrowserModelPavo"), &CTextTable::BrowserModelPavo},
    {QT_TRANSLATE_NOOP("QObject", "ExitBrowserModel"), &CTextTable::ExitBrowserModel},
    {QT_TRANSLATE_NOOP("QObject", "SwitchModelTip"), &CTextTable::SwitchModelTip},
    {QT_TRANSLATE_NOOP("QObject", "SetDefaultServer"), &CTextTable::SetDefaultServer},
    {QT_TRANSLATE_NOOP("QObject", "UserManual"), &CTextTable::UserManual},
    {QT_TRANSLATE_NOOP("QObject", "Tutorial"), &CTextTable::Tutorial},
    {QT_TRANSLATE_NOOP("QObject", "ProxyLogin"), &CTextTable::ProxyLogin},
    {QT_TRANSLATE_NOOP("QObject", "ProxyAsksForLogin"), &CTextTable::ProxyAsksForLogin},
    {QT_TRANSLATE_NOOP("QObject", "ProxyUser"), &CTextTable::ProxyUser},
    {QT_TRANSLATE_NOOP("QObject", "ProxyPassword"), &CTextTable::ProxyPassword},
};
} // namespace

CTextTable::CTextTable()
{
    for (const Entry& entry : entries)
        this->*entry.member = QObject::tr(entry.key);
}

QStringList CTextTable::keys()
{
    QStringList result;
    result.reserve(std::size(entries));
    for (const Entry& entry : entries)
        result.append(QString::fromLatin1(entry.key));
    return result;
}
