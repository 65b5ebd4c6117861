#ifndef TRANSFERSTORE_H
#define TRANSFERSTORE_H

#include "Transfer.h"

#include <memory>
#include <vector>

// transfers.json in the data folder: the queue and each transfer's resume point.
// Header fields are never written: credentials live in memory only.
class TransferStore
{
public:
    static const char* const FileName;

    explicit TransferStore(const QString& dataFolder);

    // The stored transfers; an unreadable file is kept as transfers.json.bad and
    // nothing is returned. nextId gets the number the next transfer's id takes.
    std::vector<std::unique_ptr<Transfer>> load(int& nextId);
    // Replaces the file atomically, readable by the user only.
    bool save(const std::vector<std::unique_ptr<Transfer>>& transfers, int nextId) const;

    QString path() const { return m_path; }

private:
    const QString m_path;
};

#endif // TRANSFERSTORE_H
