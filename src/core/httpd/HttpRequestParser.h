#ifndef HTTPREQUESTPARSER_H
#define HTTPREQUESTPARSER_H

#include "HttpRequest.h"
#include "HttpStatus.h"

#include <QByteArray>

// Reads one HTTP/1.x request from bytes as they arrive. Knows nothing of sockets,
// so it can be driven by any byte source, a fuzzer included.
class HttpRequestParser
{
public:
    enum class Result { NeedMore, Complete, Error };
    // Buffered: the body, at most MaxBodyBytes, is part of the request. Streamed: the
    // request is complete after its head, and the caller reads a body of any length
    // itself, starting with takeBodyStart().
    enum class Body { Buffered, Streamed };

    // Request line and header fields together, blank line included.
    static constexpr int MaxHeadBytes = 8 * 1024;
    // Room for a transfer request with its header fields.
    static constexpr int MaxBodyBytes = 64 * 1024;

    explicit HttpRequestParser(Body body = Body::Buffered);

    // Takes the next bytes received. Once the result is Complete or Error, it stays so
    // and further bytes are ignored.
    Result feed(const QByteArray& bytes);

    Result result() const { return m_result; }
    // What to answer with once the result is Error.
    HttpStatus errorStatus() const { return m_errorStatus; }
    // The request as far as it was read; whole once the result is Complete.
    const HttpRequest& request() const { return m_request; }
    // With a streamed body: its announced length, and the bytes of it received with the head.
    qint64 bodyLength() const { return m_bodyLength; }
    QByteArray takeBodyStart();

private:
    enum class Stage { RequestLine, Headers, Body };

    Result readHead();
    Result finishHead();
    Result readBody();
    Result fail(HttpStatus status);
    bool parseRequestLine(const QByteArray& line);
    bool parseHeaderLine(const QByteArray& line);
    bool addHeader(const QByteArray& name, const QByteArray& value);

    const Body m_body;
    Stage m_stage = Stage::RequestLine;
    Result m_result = Result::NeedMore;
    HttpStatus m_errorStatus = HttpStatus::BadRequest;
    // Bytes received but not parsed yet.
    QByteArray m_buffer;
    int m_headBytes = 0;
    qint64 m_bodyLength = 0;
    HttpRequest m_request;
};

#endif // HTTPREQUESTPARSER_H
