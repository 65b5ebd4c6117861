#ifndef TUSUPLOAD_H
#define TUSUPLOAD_H

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

// One tus upload as the portal keeps it between requests. Uploads live as long as the
// portal runs; a restarted portal knows none of them, as a client must expect.
struct TusUpload
{
    QByteArray id;
    qint64 length = 0;
    // What the portal holds of it; HEAD tells this.
    qint64 offset = 0;
    // Upload-Metadata as received, which HEAD gives back.
    QByteArray metadata;
    // Where it lands in the data folder, relative to it.
    QString target;
    // The bytes so far; empty for a folder and once the upload is placed.
    QString incoming;
    // A request is writing into it.
    bool busy = false;
    // DELETE came while a request was writing.
    bool terminated = false;
};

// The digest an Upload-Checksum field announces for the body of its request.
struct TusChecksum
{
    QCryptographicHash::Algorithm algorithm;
    QByteArray digest;
};

#endif // TUSUPLOAD_H
