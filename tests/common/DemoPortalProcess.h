#ifndef DEMOPORTALPROCESS_H
#define DEMOPORTALPROCESS_H

#include <QString>
#include <QStringList>

class ProcessSet;
class QProcess;

// The demo portal (tools/demo-portal) as a child process of the test, on a free port.
struct DemoPortalProcess
{
    QProcess* process = nullptr;
    quint16 port = 0;

    // Starts it with arguments after "--port 0" and waits until it says where it listens;
    // false when it does not start.
    bool start(ProcessSet& processes, const QStringList& arguments = {});
    // Ends it and waits until its port is closed.
    void stop();

    // "http://127.0.0.1:PORT" or, with https, "https://127.0.0.1:PORT".
    QString origin(bool https = false) const;

    static QString program();
    // Serve HTTPS with the certificate the build made: signed by a private test CA that
    // nothing trusts unless told to, for 127.0.0.1, localhost and 0.0.0.0.
    static QStringList httpsArguments();
};

// A port on 127.0.0.1 where nothing listens: bound to a free port and closed again.
quint16 closedPort();

#endif // DEMOPORTALPROCESS_H
