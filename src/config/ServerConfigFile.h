#ifndef SERVERCONFIGFILE_H
#define SERVERCONFIGFILE_H

#include "ServerEntry.h"

#include <QString>
#include <QVector>

// The saved servers' file, "ServerConfig.xml". Earlier versions of the client wrote
// and read the same layout, so the format and the reader's walk must not change.
class ServerConfigFile
{
public:
    enum ReadResult {
        ReadOk = 0,
        CannotOpen = -1,
        NotWellFormed = -2,
    };

    // Defaults to the file in the per-user data folder.
    ServerConfigFile();
    explicit ServerConfigFile(const QString& filePath);

    QString filePath() const { return m_filePath; }
    // Where a file that could not be parsed is kept before it is first replaced.
    QString keptCopyPath() const;

    // Appends the file's entries to servers; nothing is appended on failure.
    ReadResult read(QVector<ServerEntry>& servers);
    // Replaces the whole file atomically. On failure the old file stays as it was.
    // A file that could not be read is first copied aside; if that fails it is not replaced.
    bool write(const QVector<ServerEntry>& servers);

    static QByteArray serialize(const QVector<ServerEntry>& servers);
    // Returns false when the bytes are not well-formed XML.
    static bool parse(const QByteArray& bytes, QVector<ServerEntry>& servers);

private:
    bool keepUnreadableCopy();

    QString m_filePath;
    // Set when the file on disk could not be parsed: it is copied aside before the first rewrite.
    bool m_keepBeforeRewrite = false;
};

#endif // SERVERCONFIGFILE_H
