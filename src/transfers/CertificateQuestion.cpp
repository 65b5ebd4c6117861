#include "CertificateQuestion.h"

#include "CertificateChangeUI.h"
#include "app/CMainWindow.h"
#include "app/Logging.h"
#include "core/transfer/CertificateTrust.h"
#include "i18n/CertificateTexts.h"
#include "login/CLoginUI.h"

#include <utility>

namespace {
QByteArray declinedKey(const QWebEngineCertificateError& error)
{
    return error.url().authority().toUtf8() + ' '
        + CertificateTrust::fingerprint(error.certificateChain().first().toDer());
}

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
    if (m_declined.contains(declinedKey(error))) {
        return false;
    }
    if (!clientWindowShows()) {
        // The automatic login from the tray: nobody could answer, so nothing loads. The engine
        // meets the leaf once per request; one notice per leaf says it all.
        if (std::exchange(m_notifiedLeaf, leaf) != leaf) {
            m_notifier.show(
                {CertificateTexts::changedTitle(), CertificateTexts::notLoaded(address.host()), QString(), QString()});
        }
        return false;
    }
    ask(error, m_trust->pinned(address));
    return false;
}

void CertificateQuestion::ask(QWebEngineCertificateError error, const QByteArray& pinned)
{
    // Deferred, the load waits for the answer without a loop nested in the engine's handler.
    error.defer();
    m_waiting.append(error);
    if (m_dialog) {
        return;
    }
    m_dialog = new CertificateChangeUI(error.url().host(), pinned, error.certificateChain().first());
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::finished, this, [this, error](int result) {
        // Closed now, though deleted later: an error meanwhile gets a question of its own.
        m_dialog = nullptr;
        answer(error, result == QDialog::Accepted);
    });
    mainWindowInstance->placeDialog(m_dialog);
    m_dialog->open();
}

void CertificateQuestion::answer(const QWebEngineCertificateError& asked, bool trusted)
{
    const QByteArray leaf = asked.certificateChain().first().toDer();
    if (trusted) {
        m_trust->pin(asked.url(), leaf);
    } else {
        m_declined.insert(declinedKey(asked));
    }
    for (QWebEngineCertificateError& error : m_waiting) {
        const bool shown =
            error.url().authority() == asked.url().authority() && error.certificateChain().first().toDer() == leaf;
        if (trusted && shown) {
            error.ignoreCertificateError();
        } else {
            error.rejectCertificate();
        }
    }
    m_waiting.clear();
}
