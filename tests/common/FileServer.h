#ifndef FILESERVER_H
#define FILESERVER_H

#include <QByteArray>
#include <QTemporaryDir>
#include <QUrl>

class ProcessSet;

// A folder of the test's own served over plain HTTP on 127.0.0.1 (python3's http.server), in
// a process of its own: the client may fetch from it while the test's thread waits.
class FileServer
{
public:
    bool start(ProcessSet& processes);
    // Serves content under name from now on, at the address returned.
    QUrl put(const QString& name, const QByteArray& content);

private:
    QTemporaryDir m_folder;
    quint16 m_port = 0;
};

#endif // FILESERVER_H
