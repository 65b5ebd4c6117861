#ifndef TRANSFERSTORE_H
#define TRANSFERSTORE_H

#include "Transfer.h"

#include <QHash>
#include <QVector>

#include <memory>
#include <vector>

// transfers.json in the data folder: the queue and each transfer's resume point.
// Header fields are never written: credentials live in memory only.
class TransferStore
{
public:
    static const char* const FileName;

    explicit TransferStore(const QString& dataFolder);

    // The stored transfers; an unreadable file is kept as transfers.json.bad (.bad.1, .bad.2 ...
    // when earlier ones are there) and nothing is returned. nextId gets the number the next
    // transfer's id takes.
    std::vector<std::unique_ptr<Transfer>> load(int& nextId);
    // Replaces the file atomically, readable by the user only; when that fails the old file stays.
    bool save(const std::vector<std::unique_ptr<Transfer>>& transfers, int nextId);

    QString path() const { return m_path; }

private:
    // A transfer's items as last saved, and each one's JSON text.
    struct EncodedItems
    {
        QVector<TransferItem> items;
        QVector<QByteArray> json;
    };

    // The first free name to keep an unreadable file under.
    QString asidePath() const;
    // The JSON text of the whole file, from the texts of the items kept in m_encoded.
    QByteArray encode(const std::vector<std::unique_ptr<Transfer>>& transfers, int nextId);

    const QString m_path;
    bool m_failing = false;
    // A large folder's files change a few at a time between two saves: only the changed
    // items are encoded again, not every file of every transfer.
    QHash<QString, EncodedItems> m_encoded;
};

#endif // TRANSFERSTORE_H
