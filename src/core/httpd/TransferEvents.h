#ifndef TRANSFEREVENTS_H
#define TRANSFEREVENTS_H

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class HttpConnection;

// The open Server-Sent Events streams of /transfers/events and what they are sent: each
// stream hears of the transfers of its page's origin only. Lives on the local service's thread.
class TransferEvents : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxStreams = 8;
    static constexpr int KeepAliveMs = 15000;

    explicit TransferEvents(QObject* parent = nullptr);

    bool isFull();
    // Keeps a place for a stream whose snapshot is on its way; it is sent nothing until then.
    void reserve(HttpConnection* connection, const QString& origin);
    // Takes a connection whose stream head was sent; snapshot is its first event.
    void add(HttpConnection* connection, const QJsonObject& snapshot);

    void transferChanged(const QJsonObject& transfer, bool stateChanged, const QString& origin);
    void transferRemoved(const QString& id, const QString& origin);

private:
    struct Stream
    {
        QPointer<HttpConnection> connection;
        QString origin;
    };

    // origin: that of the streams to send event to; every stream when none.
    void broadcast(const QByteArray& event, const std::optional<QString>& origin);
    static QByteArray event(const char* name, const QJsonObject& data);
    static void removeClosed(QList<Stream>& streams);

    QList<Stream> m_streams;
    QList<Stream> m_reserved;
    QTimer m_keepAlive;
};

#endif // TRANSFEREVENTS_H
