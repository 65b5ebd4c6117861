#include "LaunchChannel.h"
#include "Logging.h"
#include "OutputLines.h"
#include "platform/WindowActivation.h"

#include <QLocalSocket>
#include <QTimer>

#include <algorithm>

namespace {
// "show <token>\n", the token possibly empty: the only request.
const QByteArray ShowWord("show");
// Start-up tokens are short; anything longer is not a request of ours.
const qint64 MaxRequestBytes = 1024;
// Neither side waits longer for the other: a start must end at once, and a peer that says
// nothing is dropped.
const int ConnectTimeoutMs = 1000;
const int RequestTimeoutMs = 2000;

// X11 startup ids and xdg-activation tokens are printable ASCII without spaces.
bool isToken(const QByteArray& token)
{
    return std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}
} // namespace

LaunchChannel::LaunchChannel(QObject* parent)
    : QObject(parent)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &LaunchChannel::accept);
}

bool LaunchChannel::listen()
{
    const QString name = WindowActivation::channelName();
    // Only this user can reach the folder, and no other copy of the client runs (the
    // single-instance rule): a socket left there is a crashed run's.
    QLocalServer::removeServer(name);
    if (!m_server.listen(name)) {
        qCWarning(lcApp) << "later starts cannot reach this client:" << name << m_server.errorString();
        return false;
    }
    return true;
}

QByteArray LaunchChannel::startupToken()
{
    const QByteArray wayland = qgetenv("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qgetenv("DESKTOP_STARTUP_ID") : wayland;
}

bool LaunchChannel::askToShow(const QByteArray& token)
{
    WindowActivation::allowRunningClientToActivate();
    QLocalSocket socket;
    socket.connectToServer(WindowActivation::channelName());
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        return false;
    }
    socket.write(ShowWord + ' ' + (isToken(token) ? token : QByteArray()) + '\n');
    const bool sent = socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

void LaunchChannel::accept()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        QTimer::singleShot(RequestTimeoutMs, socket, &QLocalSocket::abort);
        read(socket);
    }
}

void LaunchChannel::read(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestBytes) {
            socket->abort();
        }
        return;
    }
    const QList<QByteArray> words = socket->readLine(MaxRequestBytes).trimmed().split(' ');
    socket->abort();
    const QByteArray token = words.value(1);
    if (words.first() != ShowWord || words.size() > 2 || !isToken(token)) {
        qCWarning(lcApp) << "a later start sent an unknown request";
        return;
    }
    qCDebug(lcApp) << OutputLines::ShowRequested;
    emit showRequested(token);
}
