#ifndef DEVICEID_H
#define DEVICEID_H

#include <QByteArray>
#include <QString>

// Works out the id that identifies this machine to the portal.
class DeviceId
{
public:
    // The id of this machine: derived from the operating system's machine id, or,
    // where there is none, a random id kept in the per-user data folder.
    static QString current(const QString& appKey);

    // A name-based UUID over the application key and the machine id, so the raw
    // machine id never leaves the host and other applications cannot correlate it.
    static QString fromMachineId(const QByteArray& machineId, const QString& appKey);
    // Reads the id kept in file, or creates and keeps a new random one.
    // Returns a fresh id (not kept) when the file cannot be written.
    static QString fromFile(const QString& filePath);
};

#endif // DEVICEID_H
