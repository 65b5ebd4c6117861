#ifndef HTTPSTATUS_H
#define HTTPSTATUS_H

// The status codes the local HTTP service answers with.
enum class HttpStatus {
    Ok = 200,
    Created = 201,
    NoContent = 204,
    BadRequest = 400,
    Forbidden = 403,
    NotFound = 404,
    MethodNotAllowed = 405,
    RequestTimeout = 408,
    Conflict = 409,
    ContentTooLarge = 413,
    HeaderFieldsTooLarge = 431,
    NotImplemented = 501,
    ServiceUnavailable = 503,
};

#endif // HTTPSTATUS_H
