#ifndef PORTALRESPONSE_H
#define PORTALRESPONSE_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// One answer of the demo portal. Each connection carries one request and no answer may
// be cached, so every answer says so and gives the body's length. A large body stays on
// disk: the answer names a byte range of a file, which the connection sends as the peer
// takes it.
class PortalResponse
{
public:
    // The statuses the portal chooses itself; the request parser may add others.
    enum Status {
        Ok = 200,
        Created = 201,
        NoContent = 204,
        PartialContent = 206,
        Found = 302,
        BadRequest = 400,
        Unauthorized = 401,
        NotFound = 404,
        MethodNotAllowed = 405,
        RequestTimeout = 408,
        Conflict = 409,
        PreconditionFailed = 412,
        ContentTooLarge = 413,
        UnsupportedMediaType = 415,
        RangeNotSatisfiable = 416,
        Locked = 423,
        // tus: the body does not match its Upload-Checksum.
        ChecksumMismatch = 460,
        InternalServerError = 500,
    };

    struct FileRange
    {
        QString path;
        qint64 offset = 0;
        qint64 length = 0;
    };

    PortalResponse(int status, const QByteArray& contentType, const QByteArray& body);

    // An answer whose body is the reason in plain text; detail, when given, follows it.
    static PortalResponse error(int status, const QString& detail = {});
    static PortalResponse redirect(const QByteArray& location);

    void addHeader(const QByteArray& name, const QByteArray& value);
    // The body becomes this byte range of a file.
    void setFileBody(const FileRange& range);
    // For HEAD: the same header fields, Content-Length included, without the body.
    void omitBody();

    int status() const { return m_status; }
    // Status line and header fields, blank line included.
    QByteArray head() const;
    // The body held in memory; empty when it comes from a file or is omitted.
    QByteArray body() const { return m_omitBody ? QByteArray() : m_body; }
    // The file range to send after the head, if any.
    std::optional<FileRange> fileBody() const;

private:
    int m_status;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_body;
    std::optional<FileRange> m_fileBody;
    bool m_omitBody = false;
};

#endif // PORTALRESPONSE_H
