#ifndef PORTALEXCHANGE_H
#define PORTALEXCHANGE_H

#include <QByteArray>
#include <QHash>
#include <QStringList>

class ProcessSet;
class QProcess;

// Talking to the demo portal over real sockets, as its tests do.
namespace PortalExchange {
const int StartTimeoutMs = 5000;
const int ReplyTimeoutMs = 5000;

// A response as a client sees it; status -1 when it is no HTTP response at all.
struct Reply
{
    int status = -1;
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray header(const char* lowerCaseName) const { return headers.value(lowerCaseName); }
};

QString portalProgram();
// The portal on a free port; portOf tells which.
QProcess* startPortal(ProcessSet& processes, const QStringList& arguments = {});
// The port from the portal's first line of output; 0 when it never says it listens.
quint16 portOf(QProcess* portal);

Reply parseReply(const QByteArray& raw);
// Sends raw bytes and reads until the portal closes the connection, as it does after every answer.
Reply exchange(quint16 port, const QByteArray& request);
Reply get(quint16 port, const QByteArray& target);
} // namespace PortalExchange

#endif // PORTALEXCHANGE_H
