#include "InstanceGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace {
const QString ProcRoot = QStringLiteral("/proc");
// The kernel marks the link of an executable replaced since the process started.
const QString DeletedSuffix = QStringLiteral(" (deleted)");
// "Uid:\treal\teffective\tsaved\tfilesystem" in /proc/<pid>/status.
const QByteArray UidField("Uid:");

// Base name of /proc/<pid>/exe; empty when the link cannot be read (other users'
// processes, kernel threads, processes that just ended).
QString executableFileName(const QString& pidDir)
{
    char target[PATH_MAX];
    const QByteArray link = QFile::encodeName(pidDir + QStringLiteral("/exe"));
    const ssize_t length = ::readlink(link.constData(), target, sizeof(target) - 1);
    if (length <= 0) {
        return {};
    }
    QString path = QFile::decodeName(QByteArray(target, int(length)));
    if (path.endsWith(DeletedSuffix)) {
        path.chop(DeletedSuffix.size());
    }
    return QFileInfo(path).fileName();
}

QString processName(const QString& pidDir)
{
    QFile comm(pidDir + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QFile::decodeName(comm.readAll().trimmed());
}

// A process that has ended but not been reaped yet no longer runs.
bool hasEnded(const QString& pidDir)
{
    QFile stat(pidDir + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    // "pid (name) state ...": the name may itself hold parentheses, so look after the last one.
    const QByteArray line = stat.readAll();
    const int nameEnd = line.lastIndexOf(')');
    const char state = nameEnd >= 0 && nameEnd + 2 < line.size() ? line.at(nameEnd + 2) : 'X';
    return state == 'Z' || state == 'X';
}

// Any account may name a process like this program; only this user's own copies count.
bool ownedByThisUser(const QString& pidDir)
{
    QFile status(pidDir + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Files in /proc have no size, so they are read whole rather than line by line.
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith(UidField)) {
            bool valid = false;
            const uint realUid = line.mid(UidField.size()).simplified().split(' ').value(0).toUInt(&valid);
            return valid && realUid == ::getuid();
        }
    }
    return false;
}

QString nameOf(const QString& pidDir)
{
    const QString exe = executableFileName(pidDir);
    return exe.isEmpty() ? processName(pidDir) : exe;
}

bool isProcessDir(const QString& name)
{
    bool numeric = false;
    name.toLongLong(&numeric);
    return numeric;
}
} // namespace

namespace InstanceGuard {
QString ownExecutableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

int countProcesses(const QString& exeName, int limit)
{
    int count = 0;
    const QStringList entries = QDir(ProcRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        const QString pidDir = ProcRoot + QLatin1Char('/') + entry;
        if (!isProcessDir(entry) || nameOf(pidDir) != exeName || hasEnded(pidDir) || !ownedByThisUser(pidDir)) {
            continue;
        }
        if (++count >= limit) {
            break;
        }
    }
    return count;
}
} // namespace InstanceGuard
