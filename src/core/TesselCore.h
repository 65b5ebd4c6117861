#ifndef TESSELCORE_H
#define TESSELCORE_H

#include <QObject>
#include <QString>

#include <atomic>

// Core services of the client: the device identity, the application version,
// and the notifications the local HTTP service passes on to the shell.
class TesselCore : public QObject
{
    Q_OBJECT

public:
    using BrowserActiveCallback = void (*)();

    TesselCore(const QString& appKey, int clientKind, QObject* parent = nullptr);

    // Fills the library version, its build and the platform; returns 0.
    int GetAppVersion(QString& version, QString& build, QString& platform);
    // There is no external application to close on this platform: records the call, returns 0.
    int CloseActiveApp(int appId);
    // Stable id of this machine as UUID text without braces. Safe to call from any thread.
    QString Get_Deviceuuid() const;
    // The callback runs on the thread that reports the event, usually the local HTTP service's.
    void RegisterBrowserActive(BrowserActiveCallback callback);

    // Entry points for the local HTTP service; safe to call from any thread.
    void notifyBrowserActive();
    void notifyLanguageChanged(int language);

    static QString libraryVersion();

signals:
    void sig_languageChanged(int language);

private:
    const int m_clientKind;
    const QString m_deviceId;
    std::atomic<BrowserActiveCallback> m_browserActive {nullptr};
};

#endif // TESSELCORE_H
