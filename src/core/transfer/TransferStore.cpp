#include "TransferStore.h"
#include "core/CoreLogging.h"

#include "JsonCount.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace {
const QString BadSuffix = QStringLiteral(".bad");
// transfers.json.bad, .bad.1 ... .bad.9; past that the newest replaces the last.
const int MaxBadFiles = 10;
const QStringList StateNames = {QStringLiteral("queued"),
                                QStringLiteral("running"),
                                QStringLiteral("paused"),
                                QStringLiteral("done"),
                                QStringLiteral("failed"),
                                QStringLiteral("cancelled")};

QJsonObject itemToJson(const TransferItem& item)
{
    return {
        {QStringLiteral("path"), item.path},
        {QStringLiteral("relativePath"), item.relativePath},
        {QStringLiteral("folderMarker"), item.folderMarker},
        {QStringLiteral("size"), static_cast<double>(item.size)},
        {QStringLiteral("modifiedMs"), static_cast<double>(item.modifiedMs)},
        {QStringLiteral("uploadUrl"), item.uploadUrl},
        {QStringLiteral("offset"), static_cast<double>(item.offset)},
        {QStringLiteral("validator"), QString::fromLatin1(item.validator)},
        {QStringLiteral("done"), item.done},
    };
}

TransferItem itemFromJson(const QJsonObject& json)
{
    TransferItem item;
    item.path = json.value(QStringLiteral("path")).toString();
    item.relativePath = json.value(QStringLiteral("relativePath")).toString();
    item.folderMarker = json.value(QStringLiteral("folderMarker")).toBool();
    item.size = JsonCount::read(json.value(QStringLiteral("size")));
    item.modifiedMs = JsonCount::read(json.value(QStringLiteral("modifiedMs")));
    item.uploadUrl = json.value(QStringLiteral("uploadUrl")).toString();
    item.offset = JsonCount::read(json.value(QStringLiteral("offset")));
    item.validator = json.value(QStringLiteral("validator")).toString().toLatin1();
    item.done = json.value(QStringLiteral("done")).toBool();
    return item;
}

QJsonObject toJson(const Transfer& transfer)
{
    QJsonArray items;
    for (const TransferItem& item : transfer.items) {
        items.append(itemToJson(item));
    }
    return {
        {QStringLiteral("id"), transfer.id},
        {QStringLiteral("download"), transfer.direction == Transfer::Direction::Download},
        {QStringLiteral("name"), transfer.name},
        {QStringLiteral("state"), StateNames.at(static_cast<int>(transfer.state))},
        {QStringLiteral("error"), transfer.error},
        {QStringLiteral("url"), transfer.url.toString(QUrl::FullyEncoded)},
        {QStringLiteral("metadata"), transfer.metadata},
        {QStringLiteral("hadHeaders"), transfer.hadHeaders},
        {QStringLiteral("items"), items},
    };
}

std::unique_ptr<Transfer> fromJson(const QJsonObject& json)
{
    auto transfer = std::make_unique<Transfer>();
    transfer->id = json.value(QStringLiteral("id")).toString();
    transfer->direction =
        json.value(QStringLiteral("download")).toBool() ? Transfer::Direction::Download : Transfer::Direction::Upload;
    transfer->name = json.value(QStringLiteral("name")).toString();
    const int state = StateNames.indexOf(json.value(QStringLiteral("state")).toString());
    transfer->state = state < 0 ? Transfer::State::Paused : static_cast<Transfer::State>(state);
    transfer->error = json.value(QStringLiteral("error")).toString();
    transfer->url = QUrl(json.value(QStringLiteral("url")).toString(), QUrl::StrictMode);
    transfer->metadata = json.value(QStringLiteral("metadata")).toObject();
    transfer->hadHeaders = json.value(QStringLiteral("hadHeaders")).toBool();
    for (const QJsonValue& item : json.value(QStringLiteral("items")).toArray()) {
        transfer->items.append(itemFromJson(item.toObject()));
    }
    if (transfer->id.isEmpty() || !transfer->url.isValid() || transfer->items.isEmpty()) {
        return nullptr;
    }
    return transfer;
}
} // namespace

const char* const TransferStore::FileName = "transfers.json";

TransferStore::TransferStore(const QString& dataFolder)
    : m_path(dataFolder + QLatin1Char('/') + QLatin1String(FileName))
{
}

std::vector<std::unique_ptr<Transfer>> TransferStore::load(int& nextId)
{
    std::vector<std::unique_ptr<Transfer>> transfers;
    nextId = 1;
    QFile file(m_path);
    if (!file.exists()) {
        return transfers;
    }
    QJsonParseError parseError {};
    const QJsonDocument document =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll(), &parseError) : QJsonDocument();
    file.close();
    const QJsonObject root = document.object();
    bool readable = document.isObject() && root.value(QStringLiteral("transfers")).isArray();
    for (const QJsonValue& value : root.value(QStringLiteral("transfers")).toArray()) {
        std::unique_ptr<Transfer> transfer = fromJson(value.toObject());
        readable = readable && transfer;
        if (transfer) {
            transfers.push_back(std::move(transfer));
        }
    }
    if (!readable) {
        const QString aside = asidePath();
        qCWarning(lcTransfer).noquote() << m_path << "is unreadable; kept as" << aside;
        QFile::remove(aside);
        QFile::rename(m_path, aside);
        transfers.clear();
        return transfers;
    }
    nextId = qMax(1, root.value(QStringLiteral("nextId")).toInt());
    return transfers;
}

QString TransferStore::asidePath() const
{
    QString path = m_path + BadSuffix;
    for (int number = 1; number < MaxBadFiles && QFileInfo::exists(path); ++number) {
        path = m_path + BadSuffix + QLatin1Char('.') + QString::number(number);
    }
    return path;
}

bool TransferStore::save(const std::vector<std::unique_ptr<Transfer>>& transfers, int nextId)
{
    QJsonArray list;
    for (const auto& transfer : transfers) {
        // The web engine cannot take up a page's download again after a restart.
        if (transfer->direction != Transfer::Direction::Page) {
            list.append(toJson(*transfer));
        }
    }
    const QJsonObject root {{QStringLiteral("nextId"), nextId}, {QStringLiteral("transfers"), list}};
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Compact);
    QSaveFile file(m_path);
    // A full disk cuts a write short, or fails only the flush that commit() would not check:
    // either way the old file stays, uncommitted bytes never replace it.
    const bool saved = file.open(QIODevice::WriteOnly)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) && file.write(json) == json.size()
        && file.flush() && file.commit();
    // Said once while it goes on failing: the agent saves at every change of state.
    if (!saved && !m_failing) {
        qCWarning(lcTransfer).noquote() << "cannot write" << m_path
                                        << "- the last saved one stays:" << file.errorString();
    } else if (saved && m_failing) {
        qCInfo(lcTransfer).noquote() << m_path << "is written again";
    }
    m_failing = !saved;
    return saved;
}
