#include "InstanceGuard.h"

#include <QCoreApplication>

#include <windows.h>

#include <tlhelp32.h>

namespace InstanceGuard {
QString ownExecutableName()
{
    return QCoreApplication::applicationName() + QStringLiteral(".exe");
}

int countProcesses(const QString& exeName, int limit)
{
    // Other users' sessions may run their own copies; only this session's count.
    DWORD ownSession = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) {
        return 0;
    }
    // A snapshot that cannot be taken counts as finding no other instance.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return 0;
    }
    const std::wstring wanted = exeName.toStdWString();
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        DWORD session = 0;
        if (wanted != entry.szExeFile || !ProcessIdToSessionId(entry.th32ProcessID, &session)
            || session != ownSession) {
            continue;
        }
        if (++count >= limit) {
            break;
        }
    }
    CloseHandle(snapshot);
    return count;
}
} // namespace InstanceGuard
