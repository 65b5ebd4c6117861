#include "DialogFrame.h"

#include "DialogStyle.h"
#include "i18n/AccessibleTexts.h"

#include <QDialog>
#include <QPushButton>

namespace {
const int CloseButtonY = 8;
const int CloseButtonSize = 18;
} // namespace

QPushButton* DialogFrame::apply(QDialog* dialog, const QString& objectName, int closeButtonX)
{
    dialog->setWindowFlags(Qt::FramelessWindowHint);
    dialog->setObjectName(objectName);
    dialog->setStyleSheet(DialogStyle::panel(objectName));
    auto* closeButton = new QPushButton(dialog);
    closeButton->setGeometry(closeButtonX, CloseButtonY, CloseButtonSize, CloseButtonSize);
    closeButton->setStyleSheet(DialogStyle::CloseButton);
    closeButton->setAccessibleName(AccessibleTexts::close());
    return closeButton;
}
