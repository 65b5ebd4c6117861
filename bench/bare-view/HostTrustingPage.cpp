#include "HostTrustingPage.h"

#include <QWebEngineCertificateError>

HostTrustingPage::HostTrustingPage(const QString& host, QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
    , m_host(host)
{
}

bool HostTrustingPage::certificateError(const QWebEngineCertificateError& error)
{
    return !m_host.isEmpty() && error.url().host().compare(m_host, Qt::CaseInsensitive) == 0;
}
