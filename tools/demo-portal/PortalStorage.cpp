#include "PortalStorage.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
const QString IncomingFolder = QStringLiteral(".incoming");
const QChar Separator = QLatin1Char('/');
const int MaxPathLength = 1024;
const int MaxNameBytes = 255;

bool isSafeName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && name.toUtf8().size() <= MaxNameBytes;
}

bool hasForbiddenCharacter(const QString& path)
{
    return std::any_of(path.cbegin(), path.cend(), [](QChar c) {
        return c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}
} // namespace

PortalStorage::PortalStorage(const QString& folder)
    : m_folder(folder)
{
}

PortalStorage::~PortalStorage() = default;

bool PortalStorage::isSafe(const QString& relativePath)
{
    if (relativePath.isEmpty() || relativePath.size() > MaxPathLength || relativePath.startsWith(Separator)
        || hasForbiddenCharacter(relativePath)) {
        return false;
    }
    const QStringList names = relativePath.split(Separator);
    return names.constFirst() != IncomingFolder && std::all_of(names.cbegin(), names.cend(), isSafeName);
}

QString PortalStorage::resolve(const QString& relativePath)
{
    if (!isSafe(relativePath)) {
        return {};
    }
    const QString base = root();
    if (base.isEmpty()) {
        return {};
    }
    // A link placed in the folder by anyone else must not lead out of it.
    QString path = base;
    for (const QString& name : relativePath.split(Separator)) {
        path += Separator + name;
        if (QFileInfo(path).isSymLink()) {
            return {};
        }
    }
    return path;
}

QString PortalStorage::createIncoming(const QString& id, QString& error)
{
    const QString base = root();
    if (base.isEmpty() || !QDir(base).mkpath(IncomingFolder)) {
        error = QStringLiteral("cannot make the data folder");
        return {};
    }
    QFile file(base + Separator + IncomingFolder + Separator + id);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = file.errorString();
        return {};
    }
    return file.fileName();
}

bool PortalStorage::place(const QString& incoming, const QString& relativePath, QString& error)
{
    const QString target = resolve(relativePath);
    if (target.isEmpty()) {
        error = QStringLiteral("unsafe path \"%1\"").arg(relativePath);
        return false;
    }
    if (incoming.isEmpty()) {
        if (!QDir().mkpath(target)) {
            error = QStringLiteral("cannot make the folder \"%1\"").arg(relativePath);
            return false;
        }
        return true;
    }
    if (!QDir().mkpath(QFileInfo(target).path())) {
        error = QStringLiteral("cannot make the folder of \"%1\"").arg(relativePath);
        return false;
    }
    // rename(2) replaces an older file of that name in one step, which QFile::rename does not.
    if (std::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(target).constData()) != 0) {
        error =
            QStringLiteral("cannot place \"%1\": %2").arg(relativePath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

QJsonArray PortalStorage::list()
{
    const QString base = root();
    if (base.isEmpty()) {
        return {};
    }
    const QDir folder(base);
    // Sorted by path, as the map keeps its keys.
    QMap<QString, QFileInfo> entries;
    QDirIterator it(base,
                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = folder.relativeFilePath(it.next());
        if (path != IncomingFolder && !path.startsWith(IncomingFolder + Separator)) {
            entries.insert(path, it.fileInfo());
        }
    }
    QJsonArray files;
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
        const bool isFolder = entry->isDir();
        files.append(QJsonObject {
            {QStringLiteral("path"), entry.key()},
            {QStringLiteral("size"), isFolder ? 0 : entry->size()},
            {QStringLiteral("modified"), entry->lastModified().toUTC().toString(Qt::ISODate)},
            {QStringLiteral("kind"), isFolder ? QStringLiteral("folder") : QStringLiteral("file")},
        });
    }
    return files;
}

QString PortalStorage::root()
{
    if (!m_folder.isEmpty()) {
        return QDir().mkpath(m_folder) ? QDir(m_folder).absolutePath() : QString();
    }
    if (!m_temporary) {
        m_temporary = std::make_unique<QTemporaryDir>();
        QTextStream(stderr) << "data folder: " << m_temporary->path() << '\n';
    }
    return m_temporary->isValid() ? m_temporary->path() : QString();
}
