#include "CWebEnginePage.h"
#include "app/Logging.h"

#include "CWebEngineView.h"
#include "app/CMainWindow.h"
#include "core/ProxyLogin.h"
#include "transfers/CertificateQuestion.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>

CWebEnginePage::CWebEnginePage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this, &CWebEnginePage::answerProxy);
}

void CWebEnginePage::answerProxy(const QUrl&, QAuthenticator* authenticator, const QString& proxyHost)
{
    ProxyLogin* login = mainWindowInstance->proxyLogin;
    const ProxyLogin::Answer answer = runAsViewLoop([&] { return login->answerFor(proxyHost, m_proxyRound); });
    if (answer.round <= m_proxyRound) {
        // An untouched authenticator cancels: the page shows the proxy's refusal.
        qCInfo(lcWeb) << "proxyAuthenticationRequired: no login for the proxy" << proxyHost;
        return;
    }
    m_proxyRound = answer.round;
    authenticator->setUser(answer.user);
    authenticator->setPassword(answer.password);
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
    // The portal server is the one host the user chose; other hosts get the engine's refusal.
    const QString portalHost = QUrl(mainWindowInstance->currentUrl).host();
    const QString host = error.url().host();
    const bool portal = !portalHost.isEmpty() && host.compare(portalHost, Qt::CaseInsensitive) == 0;
    qCDebug(lcWeb).noquote() << "certificateError:" << (portal ? "deciding for" : "refused for") << host << "-"
                             << error.errorDescription();
    return portal && mainWindowInstance->certificateQuestion->decide(error);
}

bool CWebEnginePage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    // The engine opens a dropped file in place of a page that does not take the drop; the
    // portal hears of it through TesselDrage instead, and stays.
    if (isMainFrame && url.isLocalFile()) {
        qCDebug(lcWeb) << "acceptNavigationRequest: refused opening a local file in place of the portal:" << url;
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

template<typename Run>
auto CWebEnginePage::runAsViewLoop(Run run) -> decltype(run())
{
    // The view must outlive the loop: a teardown meanwhile waits for it to return.
    auto* portalView = qobject_cast<CWebEngineView*>(view());
    return portalView ? portalView->runOwnLoop(run) : run();
}

void CWebEnginePage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    runAsViewLoop([&] { QWebEnginePage::javaScriptAlert(securityOrigin, msg); });
}

bool CWebEnginePage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    return runAsViewLoop([&] { return QWebEnginePage::javaScriptConfirm(securityOrigin, msg); });
}

bool CWebEnginePage::javaScriptPrompt(const QUrl& securityOrigin,
                                      const QString& msg,
                                      const QString& defaultValue,
                                      QString* result)
{
    return runAsViewLoop([&] { return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result); });
}

QStringList
CWebEnginePage::chooseFiles(FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes)
{
    return runAsViewLoop([&] { return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes); });
}
