#include "UploadItems.h"
#include "core/CoreLogging.h"

#include "FileTimes.h"
#include "Grants.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QDir::Filters Entries = QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

TransferItem fileItem(const QFileInfo& info, const QString& relativePath)
{
    TransferItem item;
    item.path = info.absoluteFilePath();
    item.relativePath = relativePath;
    item.size = info.size();
    item.modifiedMs = FileTimes::modifiedMs(item.path);
    return item;
}

void collectFolder(const QString& root, const QString& folder, const QString& relative, QVector<TransferItem>& items)
{
    const QFileInfoList entries = QDir(folder).entryInfoList(Entries, QDir::Name);
    const int before = items.size();
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() && !Grants::isInside(entry.absoluteFilePath(), root)) {
            qCDebug(lcTransfer).noquote() << "not following" << entry.absoluteFilePath() << "out of" << root;
            continue;
        }
        const QString entryRelative = relative + QLatin1Char('/') + entry.fileName();
        if (entry.isDir()) {
            if (!entry.isSymLink()) {
                collectFolder(root, entry.absoluteFilePath(), entryRelative, items);
            }
        } else if (entry.isFile()) {
            items.append(fileItem(entry, entryRelative));
        }
    }
    if (items.size() == before) {
        TransferItem marker;
        marker.path = folder;
        marker.relativePath = relative;
        marker.folderMarker = true;
        items.append(marker);
    }
}
} // namespace

namespace UploadItems {
QVector<TransferItem> collect(const QString& path)
{
    const QFileInfo info(path);
    QVector<TransferItem> items;
    if (info.isDir()) {
        collectFolder(info.absoluteFilePath(), info.absoluteFilePath(), info.fileName(), items);
    } else if (info.isFile()) {
        items.append(fileItem(info, QString()));
    }
    return items;
}
} // namespace UploadItems
