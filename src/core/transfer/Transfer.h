#ifndef TRANSFER_H
#define TRANSFER_H

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QVector>

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// One file of a transfer: what moves, and how far it got.
struct TransferItem
{
    // Upload: the local file. Download: the final file in the chosen folder.
    QString path;
    // Upload inside a folder: "<folder name>/sub/file"; empty for a single file.
    QString relativePath;
    // An empty folder, sent as a zero-length upload.
    bool folderMarker = false;
    qint64 size = 0;
    // Upload: the file's modification time when handed over, in ms since the epoch.
    qint64 modifiedMs = 0;
    // Upload: the tus upload's URL once created.
    QString uploadUrl;
    // Upload: the offset the server confirmed. Download: the bytes on disk.
    qint64 offset = 0;
    // Download: the strong ETag, or else Last-Modified, of the version being fetched.
    QByteArray validator;
    bool done = false;

    bool operator==(const TransferItem& other) const;
};

// One transfer the page asked for: a file, a folder or a download; or a download the
// page started itself, which the web engine moves and the agent only lists.
struct Transfer
{
    enum class Direction { Upload, Download, Page };
    enum class State { Queued, Running, Paused, Done, Failed, Cancelled };

    QString id;
    Direction direction = Direction::Upload;
    QString name;
    State state = State::Queued;
    QString error;
    // Upload: the tus endpoint. Download: the file's URL.
    QUrl url;
    // The origin of the page that started it, "scheme://host[:port]": pages of another origin
    // neither see nor control it.
    QString origin;
    // The page's metadata for each upload.
    QJsonObject metadata;
    // The page's header fields, credentials among them: held in memory only.
    HeaderList headers;
    // Whether the page gave header fields, so a restart knows they are missing.
    bool hadHeaders = false;
    QVector<TransferItem> items;
    qint64 bytesPerSecond = 0;

    bool isMoving() const { return state == State::Queued || state == State::Running; }
    bool hasEnded() const { return state == State::Done || state == State::Failed || state == State::Cancelled; }
    qint64 bytesTotal() const;
    qint64 bytesDone() const;
    int filesDone() const;
    // The first item not done: where the search for work starts, so that a folder of many
    // files costs the scheduler the same for each file. Items never go back to not done.
    int firstUndone();
    bool allDone() { return firstUndone() == items.size(); }

private:
    int m_firstUndone = 0;
};

#endif // TRANSFER_H
