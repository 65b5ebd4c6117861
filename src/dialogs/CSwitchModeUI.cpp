#include "CSwitchModeUI.h"

#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"
#include "login/CLoginUI.h"

#include <QLabel>
#include <QPushButton>

namespace {
const QString MessageStyle = QStringLiteral("color: rgba(51, 51, 51, 1);font-size: 14px");
const QString ButtonStyle =
    QStringLiteral("border-radius: 2px;background-color: rgba(0, 123, 197, 1);color: rgba(255, 255, 255, 1);font-size: "
                   "12px;border: 1px solid rgba(255, 255, 255, 0);");
} // namespace

CSwitchModeUI::CSwitchModeUI(QWidget* parent)
    : CTipUI(parent)
{
    auto* message = new QLabel(this);
    auto* cancelButton = new QPushButton(this);
    auto* okButton = new QPushButton(this);
    const CTextTable* texts = mainWindowInstance->textTable;
    message->setText(texts->SwitchModelTip);
    setAccessibleDescription(message->text());
    cancelButton->setText(texts->Cancel);
    okButton->setText(texts->OK);
    message->setGeometry(26, 46, 253, 80);
    cancelButton->setGeometry(124, 127, 68, 30);
    okButton->setGeometry(212, 127, 68, 30);
    message->setWordWrap(true);
    message->setStyleSheet(MessageStyle);
    for (QPushButton* button : {cancelButton, okButton}) {
        button->setStyleSheet(ButtonStyle);
        button->setCursor(Qt::PointingHandCursor);
    }
    connect(cancelButton, &QPushButton::clicked, this, &CTipUI::slot_buttonClose);
    connect(okButton, &QPushButton::clicked, this, &CSwitchModeUI::slot_ButtonOK);
}

void CSwitchModeUI::slot_ButtonOK()
{
    // Leave the portal first, so the selection window comes back in its normal face.
    mainWindowInstance->slot_exitServer();
    mainWindowInstance->loginUI->setBrowserMode(false);
    close();
}
