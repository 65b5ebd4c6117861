#ifndef CWEBENGINEPAGE_H
#define CWEBENGINEPAGE_H

#include <QWebEnginePage>

// The portal's page: the web application's console goes to the debug log, and a
// certificate error is accepted only for the portal server's own host, so a portal
// with a self-signed certificate loads while other sites cannot be impersonated, and
// the page never gives way to a local file.
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
};

#endif // CWEBENGINEPAGE_H
