#include "TesselPortal.h"

#include "transfer/CertificateTrust.h"
#include "transfer/Grants.h"
#include "transfer/TransferAgent.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QJsonObject>
#include <QMetaMethod>
#include <QStandardPaths>
#include <QThread>

namespace {
qint64 folderSize(const QString& folder)
{
    qint64 total = 0;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        total += files.fileInfo().size();
    }
    return total;
}
} // namespace

TesselPortal::TesselPortal(TesselCore* core, ProxyLogin* proxyLogin, QObject* parent)
    : QObject(parent)
    , m_core(core)
    , m_grants(std::make_unique<Grants>())
    , m_trust(std::make_unique<CertificateTrust>(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)))
{
    m_agentThread = new QThread;
    m_agentThread->setObjectName(QStringLiteral("TesselTransfers"));
    m_agent = new TransferAgent(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                                QStandardPaths::writableLocation(QStandardPaths::DownloadLocation),
                                m_trust.get(),
                                m_grants.get(),
                                proxyLogin);
    m_agent->moveToThread(m_agentThread);
    connect(m_agentThread, &QThread::finished, m_agent, &QObject::deleteLater);
    m_agentThread->start();
}

TesselPortal::~TesselPortal()
{
    // Leaving the loop deletes the agent on its own thread, which stops every transfer.
    m_agentThread->quit();
    m_agentThread->wait();
    delete m_agentThread;
}

void TesselPortal::setPortalOrigins(const QList<QUrl>& savedServers, const QUrl& loadedPortal)
{
    m_origins.set(savedServers, loadedPortal);
}

void TesselPortal::grantDroppedPath(const QString& path)
{
    m_grants->grantUpload(m_origins.loaded(), path);
}

void TesselPortal::pauseTransfers()
{
    m_agent->call([this] {
        m_agent->pauseAll();
        return true;
    });
}

bool TesselPortal::requestPick(PickKind kind, const QString& origin, PickAnswer answer)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&TesselPortal::sig_pickRequested))) {
        return false;
    }
    const bool folder = kind == PickKind::Folder;
    int requestId = 0;
    {
        const QMutexLocker lock(&m_pickMutex);
        requestId = ++m_lastPick;
        m_picks.insert(requestId, {folder, origin, std::move(answer)});
    }
    emit sig_pickRequested(requestId, folder);
    return true;
}

void TesselPortal::answerPick(int requestId, const QStringList& paths)
{
    Pick pick;
    {
        const QMutexLocker lock(&m_pickMutex);
        pick = m_picks.take(requestId);
    }
    if (pick.answer) {
        pick.answer(grantChosen(pick, paths));
    }
}

QJsonArray TesselPortal::grantChosen(const Pick& pick, const QStringList& paths)
{
    const bool folder = pick.folder;
    QJsonArray items;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        m_grants->grantUpload(pick.origin, path);
        if (folder) {
            m_grants->grantDownloadFolder(pick.origin, path);
        }
        items.append(QJsonObject {
            {QStringLiteral("path"), info.absoluteFilePath()},
            {QStringLiteral("size"), static_cast<double>(folder ? folderSize(path) : info.size())},
            {QStringLiteral("kind"), folder ? QStringLiteral("folder") : QStringLiteral("file")},
        });
    }
    return items;
}
