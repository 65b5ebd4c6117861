#include "CTipUI.h"

#include "DialogFrame.h"
#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {
const QString TitleStyle = QStringLiteral(
    "left: 1104px;top: 487px;width: 37px;height: 26px;line-height: 26px;color: rgba(51, 51, 51, 1);font-size: "
    "18px;text-align: center;");
} // namespace

CTipUI::CTipUI(QWidget* parent)
    : QDialog(parent)
{
    setFixedSize(310, 170);
    auto* closeButton = DialogFrame::apply(this, QStringLiteral("tipui"), 280);
    auto* icon = new QLabel(this);
    auto* title = new QLabel(this);
    icon->setGeometry(26, 20, 24, 24);
    title->setGeometry(59, 19, 37, 26);
    title->setText(mainWindowInstance->textTable->Tip);
    setWindowTitle(title->text());
    title->setStyleSheet(TitleStyle);
    // Through QIcon, which takes the @2x image on a screen scaled to 200 %.
    icon->setPixmap(QIcon(QStringLiteral(":/resource/image/warning.png")).pixmap(icon->size()));
    connect(closeButton, &QPushButton::clicked, this, &CTipUI::slot_buttonClose);
}

void CTipUI::slot_buttonClose()
{
    close();
}
