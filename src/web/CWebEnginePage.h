#ifndef CWEBENGINEPAGE_H
#define CWEBENGINEPAGE_H

#include <QWebEnginePage>

// The portal's page: the web application's console goes to the debug log, a certificate
// error may be overlooked only for the portal server's own host (CertificateQuestion
// decides), so a portal with a self-signed certificate loads while other sites cannot be
// impersonated, and the page never gives way to a local file. A proxy's request for a login is answered with
// the login the whole client shares.
class CWebEnginePage : public QWebEnginePage
{
    Q_OBJECT

public:
    CWebEnginePage(QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                  const QString& message,
                                  int lineNumber,
                                  const QString& sourceID) override;
    bool certificateError(const QWebEngineCertificateError& error) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    // The engine's own dialogs and file chooser, each run as a modal loop of the view.
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin,
                          const QString& msg,
                          const QString& defaultValue,
                          QString* result) override;
    QStringList
    chooseFiles(FileSelectionMode mode, const QStringList& oldFiles, const QStringList& acceptedMimeTypes) override;

private:
    // Gives the run's proxy login; asks the user when there is none yet or this page's was refused.
    void answerProxy(const QUrl& requestUrl, QAuthenticator* authenticator, const QString& proxyHost);

    // The proxy login's round this page gave last, 0 for none.
    int m_proxyRound = 0;

    template<typename Run>
    auto runAsViewLoop(Run run) -> decltype(run());
};

#endif // CWEBENGINEPAGE_H
