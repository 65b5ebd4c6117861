#include "SavedServerRows.h"

#include "ButtonDelete.h"
#include "CCombox.h"
#include "CLoginUI.h"
#include "ItemWidgetFile.h"
#include "app/CMainWindow.h"
#include "core/TesselPortal.h"
#include "core/transfer/CertificateTrust.h"
#include "i18n/AccessibleTexts.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTextDocument>
#include <QUrl>

SavedServerRows::SavedServerRows(CLoginUI* window)
    : window(window)
{
}

// The per-server entries of the Server menu: every entry but the last, ExitServer.
QList<QAction*> SavedServerRows::serverActions()
{
    QList<QAction*> actions = mainWindowInstance->menuServer->actions();
    actions.removeAll(mainWindowInstance->actExitServer);
    return actions;
}

QString SavedServerRows::plainToolTip(const QString& text)
{
    return Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

void SavedServerRows::addRow(const QString& name, const QString& url)
{
    const QString display = ServerEntry::displayText(name, url);
    auto* item = new QListWidgetItem(window->listWidget);
    auto* row = new ItemWidgetFile;
    window->listWidget->setItemWidget(item, row);
    // Installing the row lays it out at once, popup hidden or not; text set afterwards is
    // measured only when the popup shows the row, not for every saved server at start.
    row->labelText->setText(display);
    row->setObjectName(name);
    row->setAccessibleName(url);
    row->setToolTip(plainToolTip(display));
    // The row shows no text of its own: a screen reader and the keyboard's choice read it here.
    item->setData(Qt::AccessibleTextRole, display);
    nameDeleteButton(row);

    auto* action = new QAction;
    action->setCheckable(true);
    mainWindowInstance->serverGroup->addAction(action);
    mainWindowInstance->menuServer->insertAction(mainWindowInstance->actExitServer, action);
    action->setText(display);
    row->setFixedWidth(300);
    action->setObjectName(name);
    action->setToolTip(url);

    QObject::connect(action, &QAction::triggered, mainWindowInstance, &CMainWindow::slot_actServer);
    QObject::connect(row, &ItemWidgetFile::signal_mouseClick, window, &CLoginUI::slot_comboBoxNameChanged);
}

void SavedServerRows::addServer(const QString& name, const QString& url)
{
    QVector<ServerEntry>& servers = mainWindowInstance->serverList;
    const bool known =
        std::any_of(servers.cbegin(), servers.cend(), [&url](const ServerEntry& entry) { return entry.url == url; });
    if (known) {
        return;
    }
    const bool isDefault = window->checkDefault->isChecked();
    if (isDefault) {
        for (ServerEntry& entry : servers) {
            entry.isDefault = false;
        }
    }
    servers.append({name, url, isDefault});
    mainWindowInstance->writeServerConfig();
    addRow(name, url);
}

void SavedServerRows::retranslate()
{
    for (int index = 0; index < window->listWidget->count(); ++index) {
        nameDeleteButton(rowWidget(index));
    }
}

void SavedServerRows::nameDeleteButton(ItemWidgetFile* row)
{
    row->findChild<ButtonDelete*>()->setAccessibleName(AccessibleTexts::deleteServer());
}

int SavedServerRows::rowOf(const ItemWidgetFile* row) const
{
    for (int index = 0; index < window->listWidget->count(); ++index) {
        if (rowWidget(index) == row) {
            return index;
        }
    }
    return -1;
}

ItemWidgetFile* SavedServerRows::rowWidget(int index) const
{
    return qobject_cast<ItemWidgetFile*>(window->listWidget->itemWidget(window->listWidget->item(index)));
}

void SavedServerRows::deleteServerOfRow(const ItemWidgetFile* row)
{
    QVector<ServerEntry>& servers = mainWindowInstance->serverList;
    const QString url = row->accessibleName();
    // Rows, menu entries and list entries are kept in the same order, so the row's position
    // names its entry even when a hand-edited file holds the same address twice.
    int index = rowOf(row);
    if (index < 0 || index >= servers.size() || servers.at(index).url != url) {
        index = int(std::find_if(
                        servers.cbegin(), servers.cend(), [&url](const ServerEntry& entry) { return entry.url == url; })
                    - servers.cbegin());
    }
    if (index >= servers.size()) {
        return;
    }
    servers.remove(index);
    mainWindowInstance->writeServerConfig();
    forgetCertificates(url);
    removeServer(url, row);
}

void SavedServerRows::forgetCertificates(const QString& url) const
{
    // Pins belong to the host, which another saved server may still name.
    const QString host = QUrl(url).host();
    const QVector<ServerEntry>& servers = mainWindowInstance->serverList;
    if (std::none_of(servers.cbegin(), servers.cend(), [&host](const ServerEntry& entry) {
            return QUrl(entry.url).host().compare(host, Qt::CaseInsensitive) == 0;
        })) {
        mainWindowInstance->portal->certificateTrust().forgetHost(host);
    }
}

int SavedServerRows::firstRowOf(const QString& url) const
{
    for (int index = 0; index < window->listWidget->count(); ++index) {
        if (rowWidget(index)->accessibleName() == url) {
            return index;
        }
    }
    return -1;
}

int SavedServerRows::copiesBefore(const QString& url, int rowIndex) const
{
    int copies = 0;
    for (int index = 0; index < rowIndex; ++index) {
        copies += rowWidget(index)->accessibleName() == url ? 1 : 0;
    }
    return copies;
}

void SavedServerRows::removeMenuEntry(const QString& url, int copy)
{
    int seen = 0;
    for (QAction* action : serverActions()) {
        if (action->toolTip() != url || seen++ != copy) {
            continue;
        }
        mainWindowInstance->menuServer->removeAction(action);
        mainWindowInstance->serverGroup->removeAction(action);
        QObject::disconnect(action, &QAction::triggered, mainWindowInstance, &CMainWindow::slot_actServer);
        // Not inside its own signal: the menu may still be delivering it.
        action->deleteLater();
        return;
    }
}

void SavedServerRows::removeServer(const QString& url, const ItemWidgetFile* row)
{
    const int rowIndex = row ? rowOf(row) : firstRowOf(url);
    removeMenuEntry(url, copiesBefore(url, rowIndex));
    if (rowIndex < 0) {
        return;
    }
    window->comboServer->hidePopup();
    // The list disposes of the row widget later, so a row deleting itself stays valid until its click is over.
    // The rows have no text: when the combo box's current row goes, it would take the shown text with it.
    const QString selected = window->comboServer->currentText();
    delete window->listWidget->item(rowIndex);
    window->comboServer->setCurrentText(selected);
    const QVector<ServerEntry>& servers = mainWindowInstance->serverList;
    if (servers.isEmpty()) {
        window->comboServer->setCurrentText(QString());
    } else if (selected.contains(url)) {
        window->slot_comboBoxNameChanged(servers.last().displayText());
    }
}
