#include "ListeningSockets.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <climits>
#include <unistd.h>

namespace {
const char* const SocketTables[] = {"/proc/net/tcp", "/proc/net/tcp6"};
// "sl local_address rem_address st ... uid timeout inode"
const int LocalColumn = 1;
const int StateColumn = 3;
const int InodeColumn = 9;
const QByteArray ListenState("0A");
const int HexBase = 16;
const QByteArray SocketLinkPrefix("socket:[");

// Inodes of the sockets listening on port, whoever holds them.
QSet<QByteArray> listenerInodes(quint16 port)
{
    QSet<QByteArray> inodes;
    for (const char* path : SocketTables) {
        QFile table(QString::fromLatin1(path));
        if (!table.open(QIODevice::ReadOnly)) {
            continue;
        }
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> columns = line.simplified().split(' ');
            if (columns.size() <= InodeColumn || columns.at(StateColumn) != ListenState) {
                continue;
            }
            const QByteArray local = columns.at(LocalColumn);
            bool valid = false;
            if (local.mid(local.indexOf(':') + 1).toUShort(&valid, HexBase) == port && valid) {
                inodes.insert(columns.at(InodeColumn));
            }
        }
    }
    return inodes;
}
} // namespace

namespace ListeningSockets {
bool thisProcessListensOn(quint16 port)
{
    const QSet<QByteArray> inodes = listenerInodes(port);
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString& descriptor : descriptors.entryList(QDir::Files | QDir::System)) {
        // A socket's descriptor links to "socket:[inode]".
        char target[PATH_MAX];
        const QByteArray path = QFile::encodeName(descriptors.filePath(descriptor));
        const ssize_t length = ::readlink(path.constData(), target, sizeof(target));
        const QByteArray link(target, int(qMax<ssize_t>(length, 0)));
        if (link.startsWith(SocketLinkPrefix) && link.endsWith(']')
            && inodes.contains(link.mid(SocketLinkPrefix.size()).chopped(1))) {
            return true;
        }
    }
    return false;
}
} // namespace ListeningSockets
