#ifndef CERTIFICATEQUESTION_H
#define CERTIFICATEQUESTION_H

#include "platform/DesktopNotifier.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWebEngineCertificateError>

class CertificateTrust;
class QSystemTrayIcon;
class CertificateChangeUI;

// Decides on the certificate errors of the portal's own host. A certificate the system does
// not trust is pinned for its host and port the first time (the page loads as it always did)
// and accepted while it stays the same. A different one is a question to the user while a
// window of the client shows; otherwise it is refused and a notification says why.
class CertificateQuestion : public QObject
{
    Q_OBJECT

public:
    CertificateQuestion(CertificateTrust* trust, QSystemTrayIcon* tray, QObject* parent = nullptr);

    // The page's answer for error now; when it is deferred the user answers it later.
    bool decide(QWebEngineCertificateError error);
    // A new load of the portal: a leaf the user declined is asked about again.
    void newLoad() { m_declined.clear(); }

private:
    void ask(QWebEngineCertificateError error, const QByteArray& pinned);
    // Answers every waiting error: trusted, those showing the leaf the user saw load.
    void answer(const QWebEngineCertificateError& asked, bool trusted);

    CertificateTrust* const m_trust;
    DesktopNotifier m_notifier;
    // One question at a time: the engine may meet the changed leaf again while it is open.
    QPointer<CertificateChangeUI> m_dialog;
    QList<QWebEngineCertificateError> m_waiting;
    // Address and leaf the user declined in this load: the engine meets them again, unasked.
    QSet<QByteArray> m_declined;
    // The leaf the last notification was about.
    QByteArray m_notifiedLeaf;
};

#endif // CERTIFICATEQUESTION_H
