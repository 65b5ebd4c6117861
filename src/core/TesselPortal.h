#ifndef TESSELPORTAL_H
#define TESSELPORTAL_H

#include <QHash>
#include <QJsonArray>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

#include "PortalOrigins.h"

class CertificateTrust;
class Grants;
class ProxyLogin;
class QThread;
class TesselCore;
class TransferAgent;

// The portal side of the core services: the transfer agent that moves files between
// the disk and the portal server for the page, and what the user handed over to it.
// The shell creates it and hands it to the local HTTP service.
class TesselPortal : public QObject
{
    Q_OBJECT

public:
    enum class PickKind { Files, Folder };
    // The chosen items as the page gets them; empty when the user cancelled.
    using PickAnswer = std::function<void(const QJsonArray& items)>;

    // A proxy that asks for a login gets the one from proxyLogin, which must outlive the portal.
    explicit TesselPortal(TesselCore* core, ProxyLogin* proxyLogin = nullptr, QObject* parent = nullptr);
    ~TesselPortal() override;

    TesselCore* core() const { return m_core; }
    TransferAgent* transferAgent() const { return m_agent; }
    const Grants& grants() const { return *m_grants; }
    // The certificates the user trusts for the view and the agent alike.
    CertificateTrust& certificateTrust() const { return *m_trust; }

    // The shell's hand-overs, safe from any thread.
    // The pages that may use the transfer API: those of the saved servers and of the portal
    // loaded now (an empty URL when none is).
    void setPortalOrigins(const QList<QUrl>& savedServers, const QUrl& loadedPortal);
    const PortalOrigins& portalOrigins() const { return m_origins; }
    // A path dropped into the window may be uploaded (a folder: what is inside it) by pages of
    // the portal loaded now.
    void grantDroppedPath(const QString& path);

    // Pauses every running transfer and saves where it got to, so the next run can resume it.
    void pauseTransfers();

    // Asks the shell for the desktop's dialog; false when no shell listens. What the user
    // chooses is granted to origin, the asking page's. answer runs on the GUI thread.
    bool requestPick(PickKind kind, const QString& origin, PickAnswer answer);
    // The shell's answer to sig_pickRequested: the paths chosen, none when cancelled.
    void answerPick(int requestId, const QStringList& paths);

signals:
    // Emitted on the local service's thread: show the dialog on the GUI thread, then answerPick.
    void sig_pickRequested(int requestId, bool folder);

private:
    struct Pick
    {
        bool folder = false;
        QString origin;
        PickAnswer answer;
    };

    QJsonArray grantChosen(const Pick& pick, const QStringList& paths);

    TesselCore* const m_core;
    std::unique_ptr<Grants> m_grants;
    std::unique_ptr<CertificateTrust> m_trust;
    PortalOrigins m_origins;
    QThread* m_agentThread = nullptr;
    TransferAgent* m_agent = nullptr;
    QMutex m_pickMutex;
    int m_lastPick = 0;
    QHash<int, Pick> m_picks;
};

#endif // TESSELPORTAL_H
