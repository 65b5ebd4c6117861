#ifndef FAKETRANSFERAGENT_H
#define FAKETRANSFERAGENT_H

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// The client's local transfer API as a page sees it, played by the test: records every
// call, answers each with what the test set for it, and holds the event streams open so
// that the test can send events. Preflights are allowed for any origin; /hello proves that it
// knows the device id, as the client does.
class FakeTransferAgent : public QObject
{
    Q_OBJECT

public:
    struct Call
    {
        QByteArray method;
        QByteArray path;
        QHash<QByteArray, QByteArray> headers;
        QJsonObject body;
    };

    explicit FakeTransferAgent(const QByteArray& deviceId, QObject* parent = nullptr);

    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    // The answer to "METHOD PATH" from now on; unset calls get 404.
    void setAnswer(const QByteArray& methodAndPath, int status, const QJsonObject& body = {});
    // Sends one event to every open event stream.
    void sendEvent(const QByteArray& type, const QJsonObject& data);
    int openStreams() const { return m_streams.size(); }
    // Calls other than preflights and /hello, in order.
    const QList<Call>& calls() const { return m_calls; }

private:
    void accept();
    void serve(QTcpSocket* socket, const QByteArray& origin, const Call& call);

    struct Answer
    {
        int status;
        QJsonObject body;
    };

    const QByteArray m_deviceId;
    QHash<QByteArray, Answer> m_answers;
    QList<QTcpSocket*> m_streams;
    QList<Call> m_calls;
    // Last, so that it goes first: its sockets, as they go, still find m_streams.
    QTcpServer m_server;
};

#endif // FAKETRANSFERAGENT_H
