#include "TransferEvents.h"

#include "HttpConnection.h"

#include <QJsonDocument>

#include <algorithm>

namespace {
const QByteArray KeepAliveComment = QByteArrayLiteral(": keep-alive\n\n");
} // namespace

TransferEvents::TransferEvents(QObject* parent)
    : QObject(parent)
    , m_keepAlive(this)
{
    m_keepAlive.setInterval(KeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] { broadcast(KeepAliveComment, std::nullopt); });
}

bool TransferEvents::isFull()
{
    removeClosed(m_streams);
    removeClosed(m_reserved);
    return m_streams.size() + m_reserved.size() >= MaxStreams;
}

void TransferEvents::reserve(HttpConnection* connection, const QString& origin)
{
    m_reserved.append({connection, origin});
}

void TransferEvents::add(HttpConnection* connection, const QJsonObject& snapshot)
{
    const auto reserved = std::find_if(m_reserved.begin(), m_reserved.end(), [connection](const Stream& stream) {
        return stream.connection == connection;
    });
    if (reserved == m_reserved.end()) {
        return;
    }
    m_streams.append(*reserved);
    m_reserved.erase(reserved);
    connection->sendStreamData(event("snapshot", snapshot));
    m_keepAlive.start();
}

void TransferEvents::transferChanged(const QJsonObject& transfer, bool stateChanged, const QString& origin)
{
    broadcast(event(stateChanged ? "state" : "progress", transfer), origin);
}

void TransferEvents::transferRemoved(const QString& id, const QString& origin)
{
    broadcast(event("removed", {{QStringLiteral("id"), id}}), origin);
}

void TransferEvents::broadcast(const QByteArray& event, const std::optional<QString>& origin)
{
    removeClosed(m_streams);
    for (const Stream& stream : qAsConst(m_streams)) {
        if (!origin || stream.origin == *origin) {
            stream.connection->sendStreamData(event);
        }
    }
    if (m_streams.isEmpty()) {
        m_keepAlive.stop();
    }
}

void TransferEvents::removeClosed(QList<Stream>& streams)
{
    streams.erase(
        std::remove_if(streams.begin(), streams.end(), [](const Stream& stream) { return !stream.connection; }),
        streams.end());
}

QByteArray TransferEvents::event(const char* name, const QJsonObject& data)
{
    return QByteArray("event: ") + name + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}
