#include "CWebEnginePage.h"
#include "app/Logging.h"

#include "app/CMainWindow.h"
#include "core/TesselPortal.h"

#include <QWebEngineCertificateError>

CWebEnginePage::CWebEnginePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
}

void CWebEnginePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel,
                                              const QString& message,
                                              int,
                                              const QString&)
{
    qCDebug(lcWeb) << "javaScriptConsoleMessage:" << message;
}

bool CWebEnginePage::certificateError(const QWebEngineCertificateError& error)
{
    // The portal server is the one host the user chose; any port of it is trusted.
    const QString portalHost = QUrl(mainWindowInstance->currentUrl).host();
    const QString host = error.url().host();
    const bool accepted = !portalHost.isEmpty() && host.compare(portalHost, Qt::CaseInsensitive) == 0;
    qCDebug(lcWeb).noquote() << "certificateError:" << (accepted ? "accepted for" : "refused for") << host << "-"
                             << error.errorDescription();
    // The transfer agent reaches the same server and trusts exactly this certificate there.
    const QList<QSslCertificate> chain = error.certificateChain();
    if (accepted && !chain.isEmpty()) {
        mainWindowInstance->portal->acceptCertificate(host, chain.first().toDer());
    }
    return accepted;
}
