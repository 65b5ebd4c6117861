#include "CSetting.h"

#include "DialogFrame.h"
#include "DialogStyle.h"
#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace {
// The English texts of the two options are longer.
const int EnglishWidth = 370;
const int ChineseWidth = 310;
const int Height = 170;
const QString TitleStyle = QStringLiteral(
    "left: 1071px;top: 229px;width: 37px;height: 26px;line-height: 26px;color: rgba(51, 51, 51, 1);font-size: "
    "18px;text-align: center;");
} // namespace

CSetting::CSetting(QWidget* parent)
    : QDialog(parent)
{
    setFixedSize(mainWindowInstance->language == 0 ? EnglishWidth : ChineseWidth, Height);
    auto* closeButton = DialogFrame::apply(this, QStringLiteral("setting"), width() - 26);
    auto* title = new QLabel(this);
    autoStartBox = new QCheckBox(this);
    miniTrayBox = new QCheckBox(this);
    auto* okButton = new QPushButton(this);

    const CTextTable* texts = mainWindowInstance->textTable;
    title->setText(texts->Setting);
    setWindowTitle(texts->Setting);
    autoStartBox->setText(texts->AutoStart);
    miniTrayBox->setText(texts->MiniTray);
    okButton->setText(texts->OK);

    const int w = width();
    title->setGeometry(26, 19, 200, 26);
    autoStartBox->setGeometry(31, 61, w, 26);
    miniTrayBox->setGeometry(31, 90, w, 26);
    okButton->setGeometry(w - 98, 127, 68, 30);

    title->setStyleSheet(TitleStyle);
    okButton->setStyleSheet(DialogStyle::PrimaryButton);
    okButton->setCursor(Qt::PointingHandCursor);
    connect(closeButton, &QPushButton::clicked, this, &CSetting::slot_ButtonClose);
    connect(okButton, &QPushButton::clicked, this, &CSetting::slot_ButtonOK);
    autoStartBox->setChecked(mainWindowInstance->autoStart);
    miniTrayBox->setChecked(mainWindowInstance->miniTray);
}

void CSetting::slot_ButtonClose()
{
    close();
}

void CSetting::slot_ButtonOK()
{
    CMainWindow* window = mainWindowInstance;
    const bool autoStartChanged = autoStartBox->isChecked() != window->autoStart;
    const bool miniTrayChanged = miniTrayBox->isChecked() != window->miniTray;
    if (autoStartChanged) {
        window->autoStart = autoStartBox->isChecked();
        window->applyAutoStart();
    }
    if (miniTrayChanged) {
        window->miniTray = miniTrayBox->isChecked();
    }
    // Nothing is written when nothing changed.
    if (autoStartChanged || miniTrayChanged) {
        window->writeSettings();
    }
    close();
}
