#ifndef PORTALRECEIVER_H
#define PORTALRECEIVER_H

#include "PortalResponse.h"

#include <QByteArray>

// What becomes of a request's body, and the answer once all of it has arrived. This base
// drops the body and gives an answer decided from the head alone; the connection reads
// every body to its end first, so that the peer is never cut off in mid-send.
class PortalReceiver
{
public:
    explicit PortalReceiver(const PortalResponse& answer);
    virtual ~PortalReceiver();
    PortalReceiver(const PortalReceiver&) = delete;
    PortalReceiver& operator=(const PortalReceiver&) = delete;

    // The next bytes of the body.
    virtual void take(const QByteArray& bytes);
    // The whole body has arrived.
    virtual PortalResponse finish();
    // The peer went away, or stalled, before the body ended.
    virtual void abandon();

protected:
    const PortalResponse& plannedAnswer() const { return m_answer; }

private:
    const PortalResponse m_answer;
};

#endif // PORTALRECEIVER_H
