#include "TesselCore.h"
#include "CoreLogging.h"

#include "DeviceId.h"

#include <QSysInfo>

namespace {
const char* const LibraryVersion = "1.0.0";
} // namespace

// The application key no longer enters the device id, which is the user's own random id.
TesselCore::TesselCore(const QString& /*appKey*/, int clientKind, QObject* parent)
    : QObject(parent)
    , m_clientKind(clientKind)
    , m_deviceId(DeviceId::current())
{
}

QString TesselCore::libraryVersion()
{
    return QString::fromLatin1(LibraryVersion);
}

int TesselCore::GetAppVersion(QString& version, QString& build, QString& platform)
{
    version = libraryVersion();
    build = QStringLiteral("Qt %1, client kind %2").arg(QString::fromLatin1(qVersion())).arg(m_clientKind);
    platform = QSysInfo::prettyProductName() + QLatin1Char(' ') + QSysInfo::currentCpuArchitecture();
    return 0;
}

int TesselCore::CloseActiveApp(int appId)
{
    qCDebug(lcCore) << "TesselCore::CloseActiveApp" << appId << "(no external application on this platform)";
    return 0;
}

QString TesselCore::Get_Deviceuuid() const
{
    return m_deviceId;
}

void TesselCore::RegisterBrowserActive(BrowserActiveCallback callback)
{
    m_browserActive.store(callback);
}

void TesselCore::notifyBrowserActive()
{
    const BrowserActiveCallback callback = m_browserActive.load();
    if (callback) {
        callback();
    } else {
        qCDebug(lcCore) << "TesselCore: browser active, but no callback is registered";
    }
}

void TesselCore::notifyLanguageChanged(int language)
{
    emit sig_languageChanged(language);
}
