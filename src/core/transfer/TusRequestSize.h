#ifndef TUSREQUESTSIZE_H
#define TUSREQUESTSIZE_H

#include <QtGlobal>

// How many bytes the next PATCH of an upload carries. Every request costs a round of hops
// (the answer, the file checked again, the server opening the upload again), so requests
// last about TargetMs at the speed the last one went: a slow link keeps FloorBytes, a fast
// one sends a large file in a few requests. A size a proxy or server refused (413) is
// halved and never exceeded again.
class TusRequestSize
{
public:
    static constexpr qint64 FloorBytes = 32 * 1024 * 1024;
    static constexpr qint64 CeilingBytes = 1024 * 1024 * 1024;
    // After 413s, requests shrink down to this and no further.
    static constexpr qint64 SmallestBytes = 256 * 1024;
    static constexpr qint64 TargetMs = 2000;

    qint64 bytes() const { return m_bytes; }
    // A request of sent bytes was confirmed elapsedMs after it started.
    void confirmed(qint64 sent, qint64 elapsedMs);
    // A request of sent bytes was refused as too large; false when it cannot shrink further.
    bool refused(qint64 sent);

private:
    qint64 m_bytes = FloorBytes;
    qint64 m_ceiling = CeilingBytes;
};

#endif // TUSREQUESTSIZE_H
