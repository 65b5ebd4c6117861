#include "CCheckUpdateUI.h"
#include "VersionCompare.h"
#include "app/Logging.h"

#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {
const int HttpOk = 200;
const QString MessageStyle = QStringLiteral("color: rgba(51, 51, 51, 1);font-size: 14px;text-align: center;");
const QString ButtonStyle = QStringLiteral(
    "border-radius: 2px;background-color: rgba(33, 150, 243, 1);color: rgba(255, 255, 255, 1);font-size: "
    "12px;text-align: center;border: 1px solid rgba(255, 255, 255, 0);");

// Only addresses a browser opens: a tampered file must not reach local handlers (file:, smb:, ...).
bool isWebAddress(const QString& address)
{
    const QString scheme = QUrl(address, QUrl::TolerantMode).scheme().toLower();
    return scheme == QLatin1String("https") || scheme == QLatin1String("http");
}
} // namespace

CCheckUpdateUI::CCheckUpdateUI(bool checkType, QWidget* parent)
    : CTipUI(parent)
    , checkType(checkType)
{
    setWindowFlags(Qt::FramelessWindowHint);
    setObjectName(QStringLiteral("checkupdate"));
    setStyleSheet(QStringLiteral("QWidget#checkupdate{background-color:#fff;border:1px solid #ccc}"));
    messageLabel = new QLabel(this);
    versionLabel = new QLabel(this);
    // The version comes from the update server: shown as it is, never as markup.
    versionLabel->setTextFormat(Qt::PlainText);
    auto* button = new QPushButton(this);
    button->setGeometry(width() - 98, 125, 68, 30);
    messageLabel->setGeometry(26, 56, 250, 23);
    versionLabel->setGeometry(26, 79, 250, 23);
    const CTextTable* texts = mainWindowInstance->textTable;
    messageLabel->setText(texts->UseNewestVersion);
    versionLabel->setText(CMainWindow::versionString());
    button->setText(texts->OK);
    describeResult();
    messageLabel->setStyleSheet(MessageStyle);
    button->setStyleSheet(ButtonStyle);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, &CCheckUpdateUI::Slot_ButtonOK);
}

void CCheckUpdateUI::beginCheck()
{
    ++m_check;
}

void CCheckUpdateUI::replyFinished(quint64 check, int status, QByteArray body)
{
    if (check != m_check.load()) {
        qCDebug(lcUpdate) << "update check: ignoring the answer of an earlier check";
        return;
    }
    newVersionFound = false;
    downloadUrl.clear();
    if (status != HttpOk) {
        showCheckFailed();
    }
    const QJsonDocument document =
        QJsonDocument::fromJson(body.left(body.indexOf('\0') < 0 ? body.size() : body.indexOf('\0')));
    // Without a usable version the check failed, whatever the status said; the texts of an
    // earlier check would tell something this answer does not.
    if (!document.isObject() || !compareVersions(document.object().value(QStringLiteral("win32")).toObject())) {
        qCDebug(lcUpdate) << "update check: the answer holds no usable version";
        showCheckFailed();
    }
    slot_checkFinish();
}

void CCheckUpdateUI::showCheckFailed()
{
    messageLabel->setText(mainWindowInstance->textTable->CheckUpdateFailed);
    versionLabel->setText(QString());
    describeResult();
}

void CCheckUpdateUI::describeResult()
{
    // A screen reader reads the result with the dialog, as a sighted user sees it.
    setAccessibleDescription(QStringList {messageLabel->text(), versionLabel->text()}.join(QLatin1Char(' ')).trimmed());
}

bool CCheckUpdateUI::compareVersions(const QJsonObject& entry)
{
    // A fixed debug text, kept word for word.
    qCDebug(lcUpdate) << "win32";
    const QString published = entry.value(QStringLiteral("version")).toString();
    const VersionCompare::Result result = VersionCompare::compare(published, CMainWindow::versionString());
    if (result == VersionCompare::Result::Unreadable) {
        return false;
    }
    downloadUrl = entry.value(QStringLiteral("downloadUrl")).toString();
    newVersionFound = result == VersionCompare::Result::Newer;
    const CTextTable* texts = mainWindowInstance->textTable;
    messageLabel->setText(newVersionFound ? texts->FindNewVerIsDown : texts->UseNewestVersion);
    versionLabel->setText(VersionCompare::numberPart(newVersionFound ? published : CMainWindow::versionString()));
    describeResult();
    return true;
}

void CCheckUpdateUI::slot_checkFinish()
{
    if (!checkType || newVersionFound) {
        exec();
    }
}

void CCheckUpdateUI::Slot_ButtonOK()
{
    if (!newVersionFound) {
        close();
        return;
    }
    if (!isWebAddress(downloadUrl)) {
        if (!downloadUrl.isEmpty()) {
            qCDebug(lcUpdate) << "update check: not opening a download address that is not a web address:"
                              << downloadUrl;
        }
        return;
    }
    QDesktopServices::openUrl(QUrl(downloadUrl, QUrl::TolerantMode));
    close();
}
