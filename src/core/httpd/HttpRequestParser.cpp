#include "HttpRequestParser.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace {
const char LineFeed = '\n';
const char CarriageReturn = '\r';
const char Space = ' ';
const QByteArray Http10 = QByteArrayLiteral("HTTP/1.0");
const QByteArray Http11 = QByteArrayLiteral("HTTP/1.1");
const QByteArray ContentLength = QByteArrayLiteral("content-length");
const QByteArray TransferEncoding = QByteArrayLiteral("transfer-encoding");
// Two of these would leave it open which one counts.
const QList<QByteArray> SingleValueHeaders = {QByteArrayLiteral("host"), ContentLength};
const QByteArray TokenSymbols = QByteArrayLiteral("!#$%&'*+-.^_`|~");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || TokenSymbols.contains(c);
}

bool isVisible(char c)
{
    const auto u = static_cast<uchar>(c);
    return u > 0x20 && u < 0x7f;
}

// Spaces, tabs and non-ASCII octets, but no other control character: this is
// what turns away NUL and a bare CR.
bool isFieldValueChar(char c)
{
    const auto u = static_cast<uchar>(c);
    return c == '\t' || (u >= 0x20 && u != 0x7f);
}

template<typename Predicate>
bool consistsOf(const QByteArray& text, Predicate predicate)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), predicate);
}
} // namespace

HttpRequestParser::HttpRequestParser(Body body)
    : m_body(body)
{
}

QByteArray HttpRequestParser::takeBodyStart()
{
    return std::exchange(m_buffer, {});
}

HttpRequestParser::Result HttpRequestParser::feed(const QByteArray& bytes)
{
    if (m_result == Result::NeedMore) {
        m_buffer.append(bytes);
        m_result = m_stage == Stage::Body ? readBody() : readHead();
    }
    return m_result;
}

HttpRequestParser::Result HttpRequestParser::readHead()
{
    for (int end = m_buffer.indexOf(LineFeed); end >= 0; end = m_buffer.indexOf(LineFeed)) {
        m_headBytes += end + 1;
        if (m_headBytes > MaxHeadBytes) {
            return fail(HttpStatus::HeaderFieldsTooLarge);
        }
        const QByteArray line = m_buffer.left(end);
        m_buffer.remove(0, end + 1);
        // Lines end in CRLF only. RFC 9112 lets a recipient take a bare LF as well; browsers
        // never send one, and a single way to split lines leaves nothing to interpret.
        if (!line.endsWith(CarriageReturn)) {
            return fail(HttpStatus::BadRequest);
        }
        const QByteArray content = line.chopped(1);
        if (m_stage == Stage::Headers && content.isEmpty()) {
            return finishHead();
        }
        const bool valid = m_stage == Stage::RequestLine ? parseRequestLine(content) : parseHeaderLine(content);
        if (!valid) {
            return fail(HttpStatus::BadRequest);
        }
    }
    if (m_headBytes + m_buffer.size() > MaxHeadBytes) {
        return fail(HttpStatus::HeaderFieldsTooLarge);
    }
    return Result::NeedMore;
}

HttpRequestParser::Result HttpRequestParser::finishHead()
{
    // Chunked bodies are not implemented: no caller of this service needs them, and
    // RFC 9112 asks for 501 on a transfer coding the server does not understand.
    if (m_request.headers.contains(TransferEncoding)) {
        return fail(HttpStatus::NotImplemented);
    }
    const QByteArray length = m_request.header(ContentLength);
    if (!length.isNull()) {
        if (!consistsOf(length, isDigit)) {
            return fail(HttpStatus::BadRequest);
        }
        bool fits = false;
        const qlonglong value = length.toLongLong(&fits);
        // Digits only, so a failed conversion means the number is too large.
        if (!fits || (m_body == Body::Buffered && value > MaxBodyBytes)) {
            return fail(HttpStatus::ContentTooLarge);
        }
        m_bodyLength = value;
    }
    m_stage = Stage::Body;
    return m_body == Body::Streamed ? Result::Complete : readBody();
}

HttpRequestParser::Result HttpRequestParser::readBody()
{
    if (m_buffer.size() < m_bodyLength) {
        return Result::NeedMore;
    }
    // Anything after the body is ignored: a connection carries one request only.
    m_request.body = m_buffer.left(static_cast<int>(m_bodyLength));
    m_buffer.clear();
    return Result::Complete;
}

HttpRequestParser::Result HttpRequestParser::fail(HttpStatus status)
{
    m_errorStatus = status;
    m_buffer.clear();
    return Result::Error;
}

bool HttpRequestParser::parseRequestLine(const QByteArray& line)
{
    const QList<QByteArray> parts = line.split(Space);
    if (parts.size() != 3) {
        return false;
    }
    const QByteArray& method = parts.at(0);
    const QByteArray& target = parts.at(1);
    const QByteArray& version = parts.at(2);
    // Origin-form only: absolute-form is meant for proxies, and asterisk-form names no resource.
    if (!consistsOf(method, isTokenChar) || !target.startsWith('/') || !consistsOf(target, isVisible)
        || (version != Http11 && version != Http10)) {
        return false;
    }
    m_request.method = method;
    m_request.target = target;
    m_stage = Stage::Headers;
    return true;
}

bool HttpRequestParser::parseHeaderLine(const QByteArray& line)
{
    // A name must be a token right up to the colon. That also turns away obs-fold, a line
    // starting with whitespace, which RFC 9112 lets a server reject.
    const int colon = line.indexOf(':');
    if (colon < 0) {
        return false;
    }
    const QByteArray name = line.left(colon);
    const QByteArray value = line.mid(colon + 1);
    if (!consistsOf(name, isTokenChar) || !std::all_of(value.cbegin(), value.cend(), isFieldValueChar)) {
        return false;
    }
    return addHeader(name.toLower(), value.trimmed());
}

bool HttpRequestParser::addHeader(const QByteArray& name, const QByteArray& value)
{
    const auto existing = m_request.headers.find(name);
    if (existing == m_request.headers.end()) {
        m_request.headers.insert(name, value);
        return true;
    }
    if (SingleValueHeaders.contains(name)) {
        return false;
    }
    existing->append(", ").append(value);
    return true;
}
