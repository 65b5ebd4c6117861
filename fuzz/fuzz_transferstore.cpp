// The stored queue (transfers.json) on arbitrary file contents, read and written by the store
// itself in a folder of its own. Loading never crashes, and whatever loads, saved and loaded
// again, is saved the same: nothing drifts from one start of the agent to the next.
#include "FuzzCheck.h"
#include "core/transfer/TransferStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {
// In memory where there is such a folder: every input is a file written, renamed and read.
QString scratchTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    return (QDir(memory).exists() ? memory : QDir::tempPath()) + QStringLiteral("/fuzz_transferstore-XXXXXX");
}

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Saves what loads, and returns the file as saved.
QByteArray loadAndSave(TransferStore& store)
{
    int nextId = 0;
    const std::vector<std::unique_ptr<Transfer>> transfers = store.load(nextId);
    FuzzCheck::require(store.save(transfers, nextId), "saved");
    return contentsOf(store.path());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QTemporaryDir folder(scratchTemplate());
    TransferStore store(folder.path());
    QFile file(store.path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::abort();
    }
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const QByteArray first = loadAndSave(store);
    const QByteArray second = loadAndSave(store);
    FuzzCheck::require(first == second, "the same queue once saved", first + "\n" + second);
    return 0;
}
