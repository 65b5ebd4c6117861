#ifndef CERTIFICATECHANGEUI_H
#define CERTIFICATECHANGEUI_H

#include "dialogs/CTipUI.h"

class QSslCertificate;

// Asks whether the portal's new certificate is to be trusted in place of the one trusted
// before: the host, both fingerprints, the new one's validity and issuer. Accepted means trust.
class CertificateChangeUI : public CTipUI
{
    Q_OBJECT

public:
    // The names the test and the accessibility tools find the buttons by.
    static const char* const TrustButtonName;
    static const char* const CancelButtonName;

    // pinnedSha256: the fingerprint trusted before.
    CertificateChangeUI(const QString& host,
                        const QByteArray& pinnedSha256,
                        const QSslCertificate& presented,
                        QWidget* parent = nullptr);

    // AB:CD:... as the user compares it with what the administrator says.
    static QString readable(const QByteArray& sha256);
};

#endif // CERTIFICATECHANGEUI_H
