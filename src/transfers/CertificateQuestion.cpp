#include "CertificateQuestion.h"

#include "CertificateChangeUI.h"
#include "app/CMainWindow.h"
#include "app/Logging.h"
#include "core/transfer/CertificateTrust.h"
#include "i18n/CertificateTexts.h"
#include "login/CLoginUI.h"

#include <QWebEngineCertificateError>

namespace {
bool clientWindowShows()
{
    return mainWindowInstance->isVisible() || mainWindowInstance->loginUI->isVisible();
}
} // namespace

CertificateQuestion::CertificateQuestion(CertificateTrust* trust, QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent)
    , m_trust(trust)
    , m_notifier(tray)
{
}

bool CertificateQuestion::decide(QWebEngineCertificateError error)
{
    const QList<QSslCertificate> chain = error.certificateChain();
    if (chain.isEmpty() || !error.isOverridable()) {
        return false;
    }
    const QUrl address = error.url();
    const QByteArray leaf = chain.first().toDer();
    switch (m_trust->check(address, leaf)) {
    case CertificateTrust::Verdict::Unknown:
        qCInfo(lcWeb) << "certificateError: first use, pinned for" << address.authority();
        m_trust->pin(address, leaf);
        return true;
    case CertificateTrust::Verdict::Same:
        return true;
    case CertificateTrust::Verdict::Changed:
        break;
    }
    qCWarning(lcWeb) << "certificateError: the certificate changed for" << address.authority();
    if (!clientWindowShows()) {
        // The automatic login from the tray: nobody could answer, so nothing loads.
        m_notifier.show(
            {CertificateTexts::changedTitle(), CertificateTexts::notLoaded(address.host()), QString(), QString()});
        return false;
    }
    ask(error, m_trust->pinned(address));
    return false;
}

void CertificateQuestion::ask(QWebEngineCertificateError error, const QByteArray& pinned)
{
    // Deferred, the load waits for the answer without a loop nested in the engine's handler.
    error.defer();
    auto* dialog = new CertificateChangeUI(error.url().host(), pinned, error.certificateChain().first());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, this, [this, error](int result) mutable {
        if (result == QDialog::Accepted) {
            m_trust->pin(error.url(), error.certificateChain().first().toDer());
            error.ignoreCertificateError();
        } else {
            error.rejectCertificate();
        }
    });
    mainWindowInstance->placeDialog(dialog);
    dialog->open();
}
