#ifndef CERTIFICATETEXTS_H
#define CERTIFICATETEXTS_H

#include <QString>

// The texts about a portal's changed certificate, in the current language: translated in the
// context "Certificates" of the application catalogues each time they are asked for.
namespace CertificateTexts {
QString changedTitle();
// host's certificate is not the one trusted before.
QString changedQuestion(const QString& host);
QString trustedBefore(const QString& fingerprint);
QString presentedNow(const QString& fingerprint);
QString validity(const QString& from, const QString& until);
QString issuer(const QString& name);
QString trustNew();
// The notification when no window could ask: host was not loaded.
QString notLoaded(const QString& host);
} // namespace CertificateTexts

#endif // CERTIFICATETEXTS_H
