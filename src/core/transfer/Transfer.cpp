#include "Transfer.h"

bool TransferItem::operator==(const TransferItem& other) const
{
    return path == other.path && relativePath == other.relativePath && folderMarker == other.folderMarker
        && size == other.size && modifiedMs == other.modifiedMs && uploadUrl == other.uploadUrl
        && offset == other.offset && validator == other.validator && done == other.done;
}

qint64 Transfer::bytesTotal() const
{
    qint64 total = 0;
    for (const TransferItem& item : items) {
        total += item.size;
    }
    return total;
}

qint64 Transfer::bytesDone() const
{
    qint64 done = 0;
    for (const TransferItem& item : items) {
        done += item.done ? item.size : item.offset;
    }
    return done;
}

int Transfer::filesDone() const
{
    int done = 0;
    for (const TransferItem& item : items) {
        done += item.done ? 1 : 0;
    }
    return done;
}

int Transfer::firstUndone()
{
    while (m_firstUndone < items.size() && items.at(m_firstUndone).done) {
        ++m_firstUndone;
    }
    return m_firstUndone;
}
