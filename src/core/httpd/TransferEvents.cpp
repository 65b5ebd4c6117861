#include "TransferEvents.h"

#include "HttpConnection.h"

#include <QJsonDocument>

namespace {
const QByteArray KeepAliveComment = QByteArrayLiteral(": keep-alive\n\n");
} // namespace

TransferEvents::TransferEvents(QObject* parent)
    : QObject(parent)
    , m_keepAlive(this)
{
    m_keepAlive.setInterval(KeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, [this] { broadcast(KeepAliveComment); });
}

bool TransferEvents::isFull()
{
    m_streams.removeAll(nullptr);
    m_reserved.removeAll(nullptr);
    return m_streams.size() + m_reserved.size() >= MaxStreams;
}

void TransferEvents::reserve(HttpConnection* connection)
{
    m_reserved.append(connection);
}

void TransferEvents::add(HttpConnection* connection, const QJsonObject& snapshot)
{
    m_reserved.removeAll(connection);
    m_streams.append(connection);
    connection->sendStreamData(event("snapshot", snapshot));
    m_keepAlive.start();
}

void TransferEvents::transferChanged(const QJsonObject& transfer, bool stateChanged)
{
    broadcast(event(stateChanged ? "state" : "progress", transfer));
}

void TransferEvents::transferRemoved(const QString& id)
{
    broadcast(event("removed", {{QStringLiteral("id"), id}}));
}

void TransferEvents::broadcast(const QByteArray& event)
{
    m_streams.removeAll(nullptr);
    for (HttpConnection* stream : qAsConst(m_streams)) {
        stream->sendStreamData(event);
    }
    if (m_streams.isEmpty()) {
        m_keepAlive.stop();
    }
}

QByteArray TransferEvents::event(const char* name, const QJsonObject& data)
{
    return QByteArray("event: ") + name + "\ndata: " + QJsonDocument(data).toJson(QJsonDocument::Compact) + "\n\n";
}
