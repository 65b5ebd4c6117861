#ifndef TRANSFEREVENTS_H
#define TRANSFEREVENTS_H

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class HttpConnection;

// The open Server-Sent Events streams of /transfers/events and what they are sent.
// Lives on the local service's thread.
class TransferEvents : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxStreams = 8;
    static constexpr int KeepAliveMs = 15000;

    explicit TransferEvents(QObject* parent = nullptr);

    bool isFull();
    // Keeps a place for a stream whose snapshot is on its way; it is sent nothing until then.
    void reserve(HttpConnection* connection);
    // Takes a connection whose stream head was sent; snapshot is its first event.
    void add(HttpConnection* connection, const QJsonObject& snapshot);

    void transferChanged(const QJsonObject& transfer, bool stateChanged);
    void transferRemoved(const QString& id);

private:
    void broadcast(const QByteArray& event);
    static QByteArray event(const char* name, const QJsonObject& data);

    QList<QPointer<HttpConnection>> m_streams;
    QList<QPointer<HttpConnection>> m_reserved;
    QTimer m_keepAlive;
};

#endif // TRANSFEREVENTS_H
