#include "ServerConfigFile.h"
#include "app/Logging.h"

#include "DataDirectory.h"
#include "OwnerOnly.h"

#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QXmlStreamWriter>

namespace {
const QString FileName = QStringLiteral("ServerConfig.xml");
const QString KeptSuffix = QStringLiteral(".bad");
// Far beyond any real list; a larger file is not read into memory at all.
const qint64 MaxFileSize = 16 * 1024 * 1024;

const QString ListElement = QStringLiteral("ServerList");
const QString ServerElement = QStringLiteral("Server");
const QString DefaultElement = QStringLiteral("Default");
const QString NameElement = QStringLiteral("Name");
const QString UrlElement = QStringLiteral("URL");
const QString TrueText = QStringLiteral("true");
const QString FalseText = QStringLiteral("false");

// Depth-first step that climbs at most one level: files of earlier versions were read
// this way, so lists wrapped deeper end early, as they always did.
QDomElement nextElement(const QDomElement& current)
{
    const QDomElement child = current.firstChildElement();
    if (!child.isNull()) {
        return child;
    }
    const QDomElement sibling = current.nextSiblingElement();
    if (!sibling.isNull()) {
        return sibling;
    }
    return current.parentNode().nextSiblingElement();
}
} // namespace

ServerConfigFile::ServerConfigFile()
    : ServerConfigFile(DataDirectory::filePath(FileName))
{
}

ServerConfigFile::ServerConfigFile(const QString& filePath)
    : m_filePath(filePath)
{
}

QString ServerConfigFile::keptCopyPath() const
{
    return m_filePath + KeptSuffix;
}

ServerConfigFile::ReadResult ServerConfigFile::read(QVector<ServerEntry>& servers)
{
    OwnerOnly::restrict(m_filePath);
    QFile file(m_filePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return CannotOpen;
    }
    // Read at most one byte past the limit, so a huge or endless file is never held whole.
    const QByteArray bytes = file.read(MaxFileSize + 1);
    file.close();
    if (bytes.size() > MaxFileSize) {
        qCDebug(lcConfig) << "ServerConfig: file too large to be a server list:" << m_filePath;
        m_keepBeforeRewrite = true;
        return NotWellFormed;
    }
    if (!parse(bytes, servers)) {
        m_keepBeforeRewrite = true;
        return NotWellFormed;
    }
    return ReadOk;
}

bool ServerConfigFile::parse(const QByteArray& bytes, QVector<ServerEntry>& servers)
{
    QDomDocument document;
    if (!document.setContent(bytes, false)) {
        return false;
    }
    // The running values carry over from one Server element to the next on purpose:
    // each URL pairs with the Name and Default read most recently before it.
    QString name;
    bool isDefault = false;
    bool defaultSeen = false;
    for (QDomElement element = nextElement(document.documentElement()); !element.isNull();
         element = nextElement(element)) {
        const QString tag = element.nodeName();
        if (tag == DefaultElement) {
            defaultSeen = true;
            isDefault = element.text() == TrueText;
        } else if (tag == NameElement) {
            name = element.text();
        } else if (tag == UrlElement) {
            servers.append({name, element.text(), defaultSeen && isDefault});
        }
    }
    return true;
}

QByteArray ServerConfigFile::serialize(const QVector<ServerEntry>& servers)
{
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(ListElement);
    for (const ServerEntry& server : servers) {
        writer.writeStartElement(ServerElement);
        writer.writeTextElement(DefaultElement, server.isDefault ? TrueText : FalseText);
        writer.writeTextElement(NameElement, server.name);
        writer.writeTextElement(UrlElement, server.url);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return bytes;
}

bool ServerConfigFile::write(const QVector<ServerEntry>& servers)
{
    DataDirectory::ensureExists();
    // Never replace a file we could not read without keeping it: it may be the user's only copy.
    if (m_keepBeforeRewrite && !keepUnreadableCopy()) {
        return false;
    }
    // Written beside the old file and renamed over it only when complete, so a crash or
    // a full disk never leaves a truncated list behind.
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Set on the temporary file, so the list is never readable by others, not even for a moment.
    file.setPermissions(OwnerOnly::FilePermissions);
    const QByteArray bytes = serialize(servers);
    // commit() does not notice a failed final flush (a full disk), so flush first.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ServerConfigFile::keepUnreadableCopy()
{
    const QString kept = keptCopyPath();
    if (!QFile::exists(m_filePath)) {
        m_keepBeforeRewrite = false; // gone meanwhile: nothing left to lose
        return true;
    }
    QFile::remove(kept);
    if (!QFile::copy(m_filePath, kept)) {
        qCDebug(lcConfig) << "ServerConfig: could not keep the unreadable server list as" << kept
                          << "; not replacing it";
        return false;
    }
    qCDebug(lcConfig) << "ServerConfig: kept the unreadable server list as" << kept;
    m_keepBeforeRewrite = false;
    return true;
}
