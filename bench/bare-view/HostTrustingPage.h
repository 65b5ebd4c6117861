#ifndef HOSTTRUSTINGPAGE_H
#define HOSTTRUSTINGPAGE_H

#include <QWebEnginePage>

// A page that accepts certificate errors for one host only, as the client does for the
// portal server the user chose, so that both load a self-signed portal the same way.
class HostTrustingPage : public QWebEnginePage
{
public:
    HostTrustingPage(const QString& host, QWebEngineProfile* profile, QObject* parent = nullptr);

protected:
    bool certificateError(const QWebEngineCertificateError& error) override;

private:
    QString m_host;
};

#endif // HOSTTRUSTINGPAGE_H
