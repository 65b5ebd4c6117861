#include "CAboutUI.h"

#include "DialogFrame.h"
#include "app/CMainWindow.h"
#include "config/DataDirectory.h"
#include "i18n/CTextTable.h"

#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {
const QString LinkLine =
    QStringLiteral("<a href=\"https://www.norv-zivovireva.example/\" style=\"color:#000;text-decoration:none\">"
                   "www.norv-zivovireva.example</a>");
const QString CopyrightLine = QStringLiteral("Copyright &copy; 2026 Norv Zivovireva. All rights reserved.");
const QString VersionStyle = QStringLiteral(
    "left: 220px;top: 432px;width: 137px;height: 23px;line-height: 20px;color: rgba(51, 51, 51, 1);font-size: "
    "14px;text-align: center;");
const QString LinkStyle = QStringLiteral(
    "left: 202px;top: 455px;width: 172px;height: 23px;line-height: 17px;color: rgba(51, 51, 51, 1);font-size: "
    "12px;text-align: center;");
const QString LogStyle = QStringLiteral(
    "left: 260px;top: 494px;border: 0px;width: 57px;height: 23px;line-height: 20px;color: rgba(0, 123, 197, "
    "1);font-size: 14px;text-align: center;");
const QString CopyrightStyle = QStringLiteral(
    "left: 175px;top: 623px;width: 226px;height: 23px;line-height: 17px;color: rgba(51, 51, 51, 1);font-size: "
    "12px;text-align: center;");
const Qt::Alignment Centred = Qt::AlignHCenter | Qt::AlignVCenter;
} // namespace

CAboutUI::CAboutUI(QWidget* parent)
    : QDialog(parent)
{
    auto* title = new QLabel(this);
    auto* closeButton = DialogFrame::apply(this, QStringLiteral("about"), 300);
    auto* logo = new QLabel(this);
    auto* version = new QLabel(this);
    auto* link = new QLabel(this);
    auto* logButton = new QPushButton(this);
    auto* copyright = new QLabel(this);

    const CTextTable* texts = mainWindowInstance->textTable;
    version->setText(texts->Version + QLatin1Char(':') + CMainWindow::versionString());
    link->setOpenExternalLinks(true);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setTextFormat(Qt::RichText);
    link->setText(LinkLine);
    copyright->setFont(QFont(QStringLiteral("Arial"), copyright->font().pointSize()));
    copyright->setTextFormat(Qt::RichText);
    copyright->setText(CopyrightLine);
    for (QLabel* label : {version, link, copyright}) {
        label->setAlignment(Centred);
    }
    logButton->setStyleSheet(LogStyle);
    version->setStyleSheet(VersionStyle);
    copyright->setStyleSheet(CopyrightStyle);
    link->setStyleSheet(LinkStyle);
    logButton->setCursor(Qt::PointingHandCursor);

    title->setGeometry(36, 20, 37, 26);
    logo->setGeometry(127, 74, 76, 76);
    // Through QIcon, which takes the @2x image on a screen scaled to 200 %.
    logo->setPixmap(QIcon(QStringLiteral(":/resource/image/norv64.png")).pixmap(logo->size()));
    version->setGeometry(0, 184, 330, 23);
    link->setGeometry(0, 207, 330, 23);
    copyright->setGeometry(0, 375, 330, 23);

    logButton->setText(texts->TransferLog);
    title->setText(texts->About);
    setWindowTitle(texts->About);
    const int logWidth = QFontMetrics(logButton->font()).horizontalAdvance(logButton->text());
    logButton->setGeometry((318 - logWidth) / 2, 246, logWidth + 12, 23);
    title->setMinimumWidth(QFontMetrics(title->font()).horizontalAdvance(title->text()));
    logButton->setMinimumWidth(logWidth);
    resize(330, 414);

    connect(closeButton, &QPushButton::clicked, this, &CAboutUI::slot_buttonClose);
    connect(logButton, &QPushButton::clicked, this, &CAboutUI::slot_buttonLog);
}

void CAboutUI::slot_buttonClose()
{
    close();
}

void CAboutUI::slot_buttonLog()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(DataDirectory::path()));
}
