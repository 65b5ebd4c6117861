#ifndef TRAYPROGRESS_H
#define TRAYPROGRESS_H

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QTimer>

class QSystemTrayIcon;

// The tray icon's tool tip while transfers run: how many run and how far they are
// together, in the current language; the plain title once none runs. The tip changes at
// most once a second, however often the agent reports.
class TrayProgress : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 1000;

    // Lives as a child of icon.
    explicit TrayProgress(QSystemTrayIcon* icon);

    // The agent's report of one transfer.
    void transferChanged(const QJsonObject& transfer);
    void transferRemoved(const QString& id);
    // Shows the tip in the language just switched to, at once.
    void retranslate();

    // The tip for running transfers, together at percent.
    static QString toolTip(int running, int percent);

private:
    void changed();
    void apply();

    QSystemTrayIcon* const m_icon;
    // Running transfers: their bytes done and bytes in all.
    QHash<QString, QPair<qint64, qint64>> m_running;
    QTimer m_quiet;
    bool m_pending = false;
};

#endif // TRAYPROGRESS_H
