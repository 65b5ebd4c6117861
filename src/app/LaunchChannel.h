#ifndef LAUNCHCHANNEL_H
#define LAUNCHCHANNEL_H

#include <QByteArray>
#include <QLocalServer>
#include <QObject>

class QLocalSocket;

// How a later start reaches the running client. The single-instance rule still ends every later
// start at once with code 0; one without arguments (from the menu, say) first asks the running
// client, over a local socket of this user's alone, to show its window.
class LaunchChannel : public QObject
{
    Q_OBJECT

public:
    explicit LaunchChannel(QObject* parent = nullptr);

    // Starts listening; false (with a log line) when the socket cannot be made.
    bool listen();

    // The start-up token the desktop gave this process; read before the application object
    // exists, since Qt takes it from the environment then.
    static QByteArray startupToken();
    // Asks the running client to show its window; false when none answers.
    static bool askToShow(const QByteArray& token);

signals:
    void showRequested(const QByteArray& token);

private:
    void accept();
    void read(QLocalSocket* socket);

    QLocalServer m_server;
};

#endif // LAUNCHCHANNEL_H
