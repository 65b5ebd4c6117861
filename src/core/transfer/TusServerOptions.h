#ifndef TUSSERVEROPTIONS_H
#define TUSSERVEROPTIONS_H

#include <QByteArray>
#include <QtGlobal>

// What a tus server said it supports, from its answer to OPTIONS.
struct TusServerOptions
{
    bool known = false;
    bool creationWithUpload = false;
    bool termination = false;
    // "sha256" or "sha1" when the server lists one of them, else empty.
    QByteArray checksumAlgorithm;
    // Tus-Max-Size: the largest upload the server takes, 0 when it names no limit.
    qint64 maxSize = 0;
};

#endif // TUSSERVEROPTIONS_H
