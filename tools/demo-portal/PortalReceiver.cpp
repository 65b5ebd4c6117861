#include "PortalReceiver.h"

PortalReceiver::PortalReceiver(const PortalResponse& answer)
    : m_answer(answer)
{
}

PortalReceiver::~PortalReceiver() = default;

void PortalReceiver::take(const QByteArray&) { }

PortalResponse PortalReceiver::finish()
{
    return m_answer;
}

void PortalReceiver::abandon() { }
