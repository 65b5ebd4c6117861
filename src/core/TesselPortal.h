#ifndef TESSELPORTAL_H
#define TESSELPORTAL_H

#include <QObject>

class TesselCore;

// The portal side of the core services. The shell creates it and hands it to the
// local HTTP service; it keeps the core it serves.
class TesselPortal : public QObject
{
    Q_OBJECT

public:
    explicit TesselPortal(TesselCore* core, QObject* parent = nullptr);

    TesselCore* core() const { return m_core; }

private:
    TesselCore* const m_core;
};

#endif // TESSELPORTAL_H
