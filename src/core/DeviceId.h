#ifndef DEVICEID_H
#define DEVICEID_H

#include <QString>

// Works out the id that identifies this user's client to the portal.
class DeviceId
{
public:
    // A random id made once per user and kept in the user's data folder. Not derived from the
    // machine id: every account can read that, and the id guards the user's files.
    static QString current();

    // Reads the id kept in file, or creates and keeps a new random one.
    // Returns a fresh id (not kept) when the file cannot be written.
    static QString fromFile(const QString& filePath);
};

#endif // DEVICEID_H
