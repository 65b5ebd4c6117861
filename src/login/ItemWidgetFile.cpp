#include "ItemWidgetFile.h"

#include "ButtonDelete.h"
#include "CLoginUI.h"
#include "app/CMainWindow.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>

ItemWidgetFile::ItemWidgetFile(QWidget* parent)
    : QWidget(parent)
{
    auto* buttonDelete = new ButtonDelete(this);
    buttonDelete->setIcon(QIcon(QStringLiteral(":/resource/image/close.png")));
    buttonDelete->setStyleSheet(QStringLiteral("border:0px;"));
    labelText = new QLabel(this);
    // The alias and the address are the user's: shown as they are, never as markup.
    labelText->setTextFormat(Qt::PlainText);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(labelText);
    layout->addStretch(0);
    layout->addWidget(buttonDelete);
    layout->setContentsMargins(17, 4, 14, 3);
    setLayout(layout);

    connect(buttonDelete, &QPushButton::clicked, this, &ItemWidgetFile::slot_buttonDelete);
}

void ItemWidgetFile::mouseReleaseEvent(QMouseEvent*)
{
    emit signal_mouseClick(labelText->text());
}

void ItemWidgetFile::slot_buttonDelete()
{
    // This row is taken out of the list while this slot still runs; the list only
    // disposes of it later, once the click is over.
    mainWindowInstance->loginUI->deleteServerOfRow(this);
}
