#include "SafeFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const int NewFileMode = 0666;
const QString NotOwnPlainFile = QStringLiteral("%1 is a link, or not a plain file of the user's own");

// The folder a path is in, held open so that the name is looked up in it and never through
// a link. The folder itself is the user's choice, a link to it included: resolved once.
class Folder
{
public:
    explicit Folder(const QString& path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_descriptor(
              ::open(QFile::encodeName(QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath()).constData(),
                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
    {
    }
    ~Folder()
    {
        if (m_descriptor >= 0) {
            ::close(m_descriptor);
        }
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int descriptor() const { return m_descriptor; }
    const char* name() const { return m_name.constData(); }

private:
    const QByteArray m_name;
    const int m_descriptor;
};

int failed(QString* error)
{
    *error = qt_error_string(errno);
    return -1;
}
} // namespace

namespace SafeFiles {
int createNew(const QString& path, QString* error)
{
    const Folder folder(path);
    if (folder.descriptor() < 0) {
        return failed(error);
    }
    const int descriptor =
        ::openat(folder.descriptor(), folder.name(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, NewFileMode);
    return descriptor < 0 ? failed(error) : descriptor;
}

int openOwn(const QString& path, QString* error)
{
    const Folder folder(path);
    if (folder.descriptor() < 0) {
        return failed(error);
    }
    // Not blocking, and no terminal taken over, should the name be a FIFO or a device.
    const int descriptor =
        ::openat(folder.descriptor(), folder.name(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0 && errno != ELOOP) {
        return failed(error);
    }
    struct stat status
    {
    };
    if (descriptor < 0 || ::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_uid != ::geteuid()) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
        *error = NotOwnPlainFile.arg(QFileInfo(path).fileName());
        return -1;
    }
    return descriptor;
}

bool isTaken(const QString& path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

bool sync(int descriptor)
{
    return ::fsync(descriptor) == 0;
}

void startWriteOut(int descriptor, qint64 offset, qint64 bytes)
{
    // Only a head start for fsync(), which still decides: a failure here changes nothing.
    ::sync_file_range(descriptor, offset, bytes, SYNC_FILE_RANGE_WRITE);
}

Renamed rename(const QString& from, const QString& to, QString* error)
{
    const Folder source(from);
    const Folder target(to);
    if (source.descriptor() < 0 || target.descriptor() < 0) {
        failed(error);
        return Renamed::Failed;
    }
    int result = ::renameat2(source.descriptor(), source.name(), target.descriptor(), target.name(), RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL) {
        // File systems without the flag (NFS): a hard link never replaces a name either.
        result = ::linkat(source.descriptor(), source.name(), target.descriptor(), target.name(), 0);
        if (result == 0) {
            ::unlinkat(source.descriptor(), source.name(), 0);
        }
    }
    if (result != 0) {
        const bool taken = errno == EEXIST;
        failed(error);
        return taken ? Renamed::Taken : Renamed::Failed;
    }
    // The new name is only safe on the disk once the folder is.
    ::fsync(target.descriptor());
    return Renamed::Done;
}
} // namespace SafeFiles
