#include "CertificateChangeUI.h"

#include "app/CMainWindow.h"
#include "core/transfer/CertificateTrust.h"
#include "dialogs/DialogStyle.h"
#include "i18n/CTextTable.h"
#include "i18n/CertificateTexts.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSslCertificate>

namespace {
// The tip frame, wide enough for a fingerprint on two lines.
const QSize DialogSize(460, 330);
const QRect MessageArea(26, 50, 408, 224);
const QRect CancelArea(176, 284, 68, 30);
const QRect TrustArea(254, 284, 180, 30);
const QString MessageStyle = QStringLiteral("color: rgba(51, 51, 51, 1);font-size: 12px");

QString date(const QDateTime& moment)
{
    return QLocale().toString(moment.toLocalTime().date(), QLocale::ShortFormat);
}
} // namespace

const char* const CertificateChangeUI::TrustButtonName = "trustNewCertificate";
const char* const CertificateChangeUI::CancelButtonName = "keepOldCertificate";

CertificateChangeUI::CertificateChangeUI(const QString& host,
                                         const QByteArray& pinnedSha256,
                                         const QSslCertificate& presented,
                                         QWidget* parent)
    : CTipUI(parent)
{
    setFixedSize(DialogSize);
    setWindowTitle(CertificateTexts::changedTitle());
    auto* message = new QLabel(this);
    auto* cancelButton = new QPushButton(mainWindowInstance->textTable->Cancel, this);
    auto* trustButton = new QPushButton(CertificateTexts::trustNew(), this);
    cancelButton->setObjectName(QLatin1String(CancelButtonName));
    trustButton->setObjectName(QLatin1String(TrustButtonName));

    // Every part but the fingerprints comes from the server: never read as markup.
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setText(
        QStringList {CertificateTexts::changedQuestion(host),
                     CertificateTexts::trustedBefore(readable(pinnedSha256)),
                     CertificateTexts::presentedNow(readable(CertificateTrust::fingerprint(presented.toDer()))),
                     CertificateTexts::validity(date(presented.effectiveDate()), date(presented.expiryDate())),
                     CertificateTexts::issuer(presented.issuerDisplayName())}
            .join(QStringLiteral("\n\n")));
    setAccessibleDescription(message->text());
    message->setGeometry(MessageArea);
    message->setStyleSheet(MessageStyle);
    cancelButton->setGeometry(CancelArea);
    trustButton->setGeometry(TrustArea);
    for (QPushButton* button : {cancelButton, trustButton}) {
        button->setStyleSheet(DialogStyle::PrimaryButton);
        button->setCursor(Qt::PointingHandCursor);
    }
    // Keeping the old trust is the safe answer to a stray Enter.
    cancelButton->setDefault(true);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(trustButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString CertificateChangeUI::readable(const QByteArray& sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}
