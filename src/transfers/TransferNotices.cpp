#include "TransferNotices.h"

#include "core/transfer/TransferAgent.h"
#include "i18n/TransferTexts.h"
#include "platform/FileManager.h"

#include <QApplication>
#include <QWidget>

namespace {
const QString Done = QStringLiteral("done");
const QString Failed = QStringLiteral("failed");

bool windowInFront()
{
    // A window closed to the tray may stay the active one until another takes the focus.
    const QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() && !active->isMinimized();
}
} // namespace

TransferNotices::TransferNotices(TransferAgent* agent, QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent)
    , m_agent(agent)
    , m_notifier(tray)
{
    // The agent reports on its own thread; the notices are shown here, on the GUI thread.
    connect(agent, &TransferAgent::transferChanged, this, &TransferNotices::transferChanged, Qt::QueuedConnection);
    connect(&m_notifier, &DesktopNotifier::clicked, this, &TransferNotices::showFile);
}

void TransferNotices::transferChanged(const QJsonObject& transfer, bool stateChanged)
{
    const QString state = transfer.value(QStringLiteral("state")).toString();
    if (!stateChanged || (state != Done && state != Failed) || windowInFront()) {
        return;
    }
    const QString name = transfer.value(QStringLiteral("name")).toString();
    DesktopNotifier::Notice notice;
    if (state == Done) {
        notice = {TransferTexts::doneTitle(),
                  name,
                  transfer.value(QStringLiteral("id")).toString(),
                  TransferTexts::showFile()};
    } else {
        notice = {TransferTexts::failedTitle(),
                  name + QLatin1Char('\n') + transfer.value(QStringLiteral("error")).toString(),
                  QString(),
                  QString()};
    }
    m_notifier.show(notice);
}

void TransferNotices::showFile(const QString& id)
{
    const QString path = m_agent->call([this, &id] { return m_agent->localPath(id); });
    if (!path.isEmpty()) {
        FileManager::showFile(path);
    }
}
