#ifndef HTTPEXCHANGE_H
#define HTTPEXCHANGE_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

// Where the body of an answer goes. Runs on the HTTP client's thread: begin once the
// status and header fields are known, then write for every piece of the body.
class ResponseSink
{
public:
    virtual ~ResponseSink() = default;
    // Whether the body is wanted; a refused body is kept in memory, bounded, for the error text.
    // Returning false with an error text set through fail() ends the exchange.
    virtual bool begin(int status, const QHash<QByteArray, QByteArray>& headers) = 0;
    // False stops the exchange (the disk is full, for example).
    virtual bool write(const char* data, qint64 size) = 0;
    // Why the sink stopped the exchange, empty when it did not.
    virtual QString failure() const = 0;
};

struct HttpExchangeRequest
{
    QByteArray method;
    QUrl url;
    // Complete header lines without line ends, "Name: value".
    QList<QByteArray> headers;
    // The body, read from this file while it is sent, when bodyLength >= 0.
    QString bodyPath;
    qint64 bodyOffset = 0;
    qint64 bodyLength = -1;
    std::shared_ptr<ResponseSink> sink;
};

struct HttpExchangeResult
{
    // 0 when no answer arrived.
    int status = 0;
    // Names in lower case; the fields of the final answer only.
    QHash<QByteArray, QByteArray> headers;
    // What went wrong below HTTP (connection, TLS, stalled transfer) or in the sink; empty otherwise.
    QString failure;
    // The server's certificate was refused: trying again cannot help.
    bool untrusted = false;
    // A body the sink did not take, at most MaxKeptBodyBytes.
    QByteArray body;

    QByteArray header(const char* lowerCaseName) const { return headers.value(QByteArray(lowerCaseName)); }
};

using HttpExchangeDone = std::function<void(const HttpExchangeResult&)>;

// Bytes moved by an exchange in either direction; read by the agent for its progress figures.
using ByteCounter = std::shared_ptr<std::atomic<qint64>>;

#endif // HTTPEXCHANGE_H
