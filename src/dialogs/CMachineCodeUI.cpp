#include "CMachineCodeUI.h"

#include "DialogStyle.h"
#include "app/CMainWindow.h"
#include "core/TesselCore.h"
#include "i18n/CTextTable.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {
const QString CodeStyle = QStringLiteral(
    "left: 1071px;top: 304px;width: 250px;height: 23px;line-height: 20px;color: rgba(51, 51, 51, 1);font-size: "
    "14px;text-align: center;");
const QString PromptStyle = QStringLiteral(
    "left: 1071px;top: 304px;width: 208px;height: 23px;line-height: 20px;color: rgba(51, 51, 51, 1);font-size: "
    "14px;text-align: center;");
} // namespace

CMachineCodeUI::CMachineCodeUI(QWidget* parent)
    : CTipUI(parent)
{
    auto* prompt = new QLabel(this);
    codeLabel = new QLabel(this);
    codeLabel->setWordWrap(true);
    auto* button = new QPushButton(this);

    const CTextTable* texts = mainWindowInstance->textTable;
    prompt->setText(texts->MachineCodeIs);
    codeLabel->setText(mainWindowInstance->core->Get_Deviceuuid());
    button->setText(texts->Copy);
    setWindowTitle(texts->MachineCode);
    // A screen reader reads the code with the dialog, as a sighted user sees it.
    setAccessibleDescription(prompt->text() + QLatin1Char(' ') + codeLabel->text());

    button->setGeometry(width() - 98, 125, 68, 32);
    codeLabel->setGeometry(26, 79, width(), 28);
    prompt->setGeometry(26, 56, 250, 23);
    codeLabel->setStyleSheet(CodeStyle);
    prompt->setStyleSheet(PromptStyle);
    button->setStyleSheet(DialogStyle::PrimaryButton);

    // Users expect to copy a code from where it is shown.
    codeLabel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(codeLabel, &QLabel::customContextMenuRequested, this, &CMachineCodeUI::showCodeMenu);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, &CMachineCodeUI::Slot_ButtonOK);
}

void CMachineCodeUI::Slot_ButtonOK()
{
    slot_ActCopy();
    close();
}

void CMachineCodeUI::slot_ActCopy()
{
    QApplication::clipboard()->setText(codeLabel->text(), QClipboard::Clipboard);
}

void CMachineCodeUI::showCodeMenu(const QPoint& position)
{
    QMenu menu(this);
    menu.addAction(mainWindowInstance->textTable->Copy, this, &CMachineCodeUI::slot_ActCopy);
    menu.exec(codeLabel->mapToGlobal(position));
}
