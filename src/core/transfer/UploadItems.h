#ifndef UPLOADITEMS_H
#define UPLOADITEMS_H

#include "Transfer.h"

// The files of an upload: a file is one item, a folder one item per file inside it,
// with its path relative to the folder's parent, and one zero-length marker per empty
// folder. Links that lead out of the folder are left out.
namespace UploadItems {
QVector<TransferItem> collect(const QString& path);
} // namespace UploadItems

#endif // UPLOADITEMS_H
