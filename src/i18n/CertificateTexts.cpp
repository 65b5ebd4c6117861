#include "CertificateTexts.h"

#include <QCoreApplication>

namespace {
const char* const Context = "Certificates";

QString text(const char* key)
{
    return QCoreApplication::translate(Context, key);
}
} // namespace

namespace CertificateTexts {
QString changedTitle()
{
    return text("CertificateChanged");
}

QString changedQuestion(const QString& host)
{
    return text("CertificateChangedQuestion").arg(host);
}

QString trustedBefore(const QString& fingerprint)
{
    return text("TrustedBefore").arg(fingerprint);
}

QString presentedNow(const QString& fingerprint)
{
    return text("PresentedNow").arg(fingerprint);
}

QString validity(const QString& from, const QString& until)
{
    return text("ValidFromUntil").arg(from, until);
}

QString issuer(const QString& name)
{
    return text("Issuer").arg(name);
}

QString trustNew()
{
    return text("TrustNewCertificate");
}

QString notLoaded(const QString& host)
{
    return text("NotLoadedCertificateChanged").arg(host);
}
} // namespace CertificateTexts
