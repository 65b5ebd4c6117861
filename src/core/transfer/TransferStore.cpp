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
const QByteArray ItemsKey = QByteArrayLiteral(",\"items\":");
// Room for what surrounds the transfers in transfers.json, and each transfer's items ("[]},").
const int FileFrameBytes = 64;
const int TransferFrameBytes = 4;
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

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Encodes again the items that differ from the cached ones; returns the length of all their texts.
int refreshTexts(const QVector<TransferItem>& items, QVector<TransferItem>& cachedItems, QVector<QByteArray>& texts)
{
    const bool comparable = cachedItems.size() == items.size();
    texts.resize(items.size());
    int length = 0;
    for (int index = 0; index < items.size(); ++index) {
        if (!comparable || !(cachedItems.at(index) == items.at(index))) {
            texts[index] = compact(itemToJson(items.at(index)));
        }
        length += texts.at(index).size();
    }
    cachedItems = items;
    return length;
}

// Appends the texts as a JSON array; the whole file is built in one buffer, never copied.
void appendArray(QByteArray& json, const QVector<QByteArray>& texts)
{
    json += '[';
    for (const QByteArray& text : texts) {
        json += text;
        json += ',';
    }
    json.chop(texts.isEmpty() ? 0 : 1);
    json += ']';
}

// Every field but the items, whose texts refreshTexts() keeps.
QJsonObject toJson(const Transfer& transfer)
{
    return {
        {QStringLiteral("id"), transfer.id},
        {QStringLiteral("download"), transfer.direction == Transfer::Direction::Download},
        {QStringLiteral("name"), transfer.name},
        {QStringLiteral("state"), StateNames.at(static_cast<int>(transfer.state))},
        {QStringLiteral("error"), transfer.error},
        {QStringLiteral("url"), transfer.url.toString(QUrl::FullyEncoded)},
        {QStringLiteral("metadata"), transfer.metadata},
        {QStringLiteral("hadHeaders"), transfer.hadHeaders},
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
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray json = encode(transfers, nextId);
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

QByteArray TransferStore::encode(const std::vector<std::unique_ptr<Transfer>>& transfers, int nextId)
{
    QHash<QString, EncodedItems> kept;
    QByteArrayList heads;
    int length = 0;
    for (const auto& transfer : transfers) {
        // The web engine cannot take up a page's download again after a restart.
        if (transfer->direction == Transfer::Direction::Page) {
            continue;
        }
        EncodedItems& encoded = kept[transfer->id] = m_encoded.take(transfer->id);
        length += refreshTexts(transfer->items, encoded.items, encoded.json) + encoded.json.size();
        heads.append(compact(toJson(*transfer)));
        // Its closing brace makes way for the items.
        heads.last().chop(1);
        length += heads.last().size() + ItemsKey.size() + TransferFrameBytes;
    }
    m_encoded = std::move(kept);
    QByteArray json;
    json.reserve(length + FileFrameBytes);
    json += "{\"nextId\":" + QByteArray::number(nextId) + ",\"transfers\":[";
    int index = 0;
    for (const auto& transfer : transfers) {
        if (transfer->direction != Transfer::Direction::Page) {
            json += heads.at(index++) + ItemsKey;
            appendArray(json, m_encoded.value(transfer->id).json);
            json += "},";
        }
    }
    json.chop(index > 0 ? 1 : 0);
    json += "]}";
    return json;
}
