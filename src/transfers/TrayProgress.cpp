#include "TrayProgress.h"

#include "app/Product.h"
#include "i18n/TransferTexts.h"

#include <QSystemTrayIcon>

namespace {
const int FullPercent = 100;
} // namespace

TrayProgress::TrayProgress(QSystemTrayIcon* icon)
    : QObject(icon)
    , m_icon(icon)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(IntervalMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_pending) {
            apply();
        }
    });
}

void TrayProgress::transferChanged(const QJsonObject& transfer)
{
    const QString id = transfer.value(QStringLiteral("id")).toString();
    if (transfer.value(QStringLiteral("state")).toString() == QLatin1String("running")) {
        m_running.insert(id,
                         {static_cast<qint64>(transfer.value(QStringLiteral("bytesDone")).toDouble()),
                          static_cast<qint64>(transfer.value(QStringLiteral("bytesTotal")).toDouble())});
    } else {
        m_running.remove(id);
    }
    changed();
}

void TrayProgress::transferRemoved(const QString& id)
{
    m_running.remove(id);
    changed();
}

void TrayProgress::retranslate()
{
    apply();
}

QString TrayProgress::toolTip(int running, int percent)
{
    const QString title = QString::fromUtf8(ProductName);
    if (running == 0) {
        return title;
    }
    return title + QLatin1Char('\n') + TransferTexts::running(running, percent);
}

void TrayProgress::changed()
{
    // The first change after a quiet second shows at once; later ones wait for the second's end.
    if (m_quiet.isActive()) {
        m_pending = true;
    } else {
        apply();
    }
}

void TrayProgress::apply()
{
    m_pending = false;
    qint64 done = 0;
    qint64 total = 0;
    for (const auto& bytes : qAsConst(m_running)) {
        done += bytes.first;
        total += bytes.second;
    }
    const int percent = total > 0 ? static_cast<int>(qMin<qint64>(done, total) * FullPercent / total) : 0;
    m_icon->setToolTip(toolTip(m_running.size(), percent));
    m_quiet.start();
}
