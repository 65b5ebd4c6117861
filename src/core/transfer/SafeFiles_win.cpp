#include "SafeFiles.h"

#include <QDir>
#include <QFileInfo>

#include <io.h>
#include <windows.h>

namespace {
const QString NotOwnPlainFile = QStringLiteral("%1 is a link, or not a plain file");
const DWORD Sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A reparse point (a symbolic link, a junction) is opened itself, never what it points to.
const DWORD NotFollowed = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

std::wstring nativeOf(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

int failed(QString* error)
{
    *error = qt_error_string(static_cast<int>(GetLastError()));
    return -1;
}

int descriptorOf(HANDLE handle, QString* error)
{
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), 0);
    if (descriptor < 0) {
        CloseHandle(handle);
        *error = QStringLiteral("no descriptor for the file");
    }
    return descriptor;
}
} // namespace

namespace SafeFiles {
int createNew(const QString& path, QString* error)
{
    const HANDLE handle = CreateFileW(
        nativeOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, Sharing, nullptr, CREATE_NEW, NotFollowed, nullptr);
    return handle == INVALID_HANDLE_VALUE ? failed(error) : descriptorOf(handle, error);
}

int openOwn(const QString& path, QString* error)
{
    // The user's own: Windows lets this account write only where the folder's access rules allow.
    const HANDLE handle = CreateFileW(
        nativeOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, Sharing, nullptr, OPEN_EXISTING, NotFollowed, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return failed(error);
    }
    BY_HANDLE_FILE_INFORMATION information {};
    if (!GetFileInformationByHandle(handle, &information)
        || (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0
        || GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        *error = NotOwnPlainFile.arg(QFileInfo(path).fileName());
        return -1;
    }
    return descriptorOf(handle, error);
}

bool isTaken(const QString& path)
{
    return GetFileAttributesW(nativeOf(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool sync(int descriptor)
{
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor))) != 0;
}

void startWriteOut(int, qint64, qint64)
{
    // The system's lazy writer already writes a file out while it grows.
}

Renamed rename(const QString& from, const QString& to, QString* error)
{
    // Without MOVEFILE_REPLACE_EXISTING a taken name fails, and without MOVEFILE_COPY_ALLOWED
    // nothing is copied; write-through returns once the new name is on the disk.
    if (MoveFileExW(nativeOf(from).c_str(), nativeOf(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        return Renamed::Done;
    }
    const DWORD code = GetLastError();
    failed(error);
    return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS ? Renamed::Taken : Renamed::Failed;
}
} // namespace SafeFiles
