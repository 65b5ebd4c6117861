#include "TusRequestSize.h"

void TusRequestSize::confirmed(qint64 sent, qint64 elapsedMs)
{
    const qint64 atThatSpeed = sent * TargetMs / qMax<qint64>(elapsedMs, 1);
    m_bytes = qBound(qMin(FloorBytes, m_ceiling), atThatSpeed, m_ceiling);
}

bool TusRequestSize::refused(qint64 sent)
{
    if (sent <= SmallestBytes) {
        return false;
    }
    m_ceiling = qMax(SmallestBytes, sent / 2);
    m_bytes = m_ceiling;
    return true;
}
