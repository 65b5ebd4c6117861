// The tray icon's tool tip while transfers run: their count and overall share in the current
// language, changed at most once a second, and the plain title once none runs.
#include "app/Product.h"
#include "common/TestEnvironment.h"
#include "transfers/TrayProgress.h"

#include <QJsonObject>
#include <QSystemTrayIcon>
#include <QTranslator>

// Q_INIT_RESOURCE declares the registration function where it is used, so it has to stay
// outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(norv);
}

namespace {
const QString Title = QString::fromUtf8(ProductName);
const int TipTimeoutMs = 5000;

QJsonObject transfer(const QString& id, const QString& state, qint64 bytesDone, qint64 bytesTotal)
{
    return {{QStringLiteral("id"), id},
            {QStringLiteral("state"), state},
            {QStringLiteral("bytesDone"), static_cast<double>(bytesDone)},
            {QStringLiteral("bytesTotal"), static_cast<double>(bytesTotal)}};
}
} // namespace

class TestTrayProgress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runningTransfersShowTheirCountAndOverallShare();
    void aSecondChangeWaitsForTheSecondToPass();
    void whenNoneRunsTheTipIsThePlainTitle();
    void theTipFollowsTheLanguage();

private:
    QTranslator m_translator;
};

void TestTrayProgress::initTestCase()
{
    initResources();
    QVERIFY(m_translator.load(QStringLiteral(":/resource/translator/TesselEnterpriseEN.qm")));
    QCoreApplication::installTranslator(&m_translator);
}

void TestTrayProgress::runningTransfersShowTheirCountAndOverallShare()
{
    QSystemTrayIcon icon;
    TrayProgress progress(&icon);
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("running"), 300, 1000));
    progress.transferChanged(transfer(QStringLiteral("t2"), QStringLiteral("running"), 0, 1000));
    // Paused and queued transfers do not run.
    progress.transferChanged(transfer(QStringLiteral("t3"), QStringLiteral("paused"), 0, 5000));
    QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), Title + QStringLiteral("\nRunning: 2, done: 15%"), TipTimeoutMs);
}

void TestTrayProgress::aSecondChangeWaitsForTheSecondToPass()
{
    QSystemTrayIcon icon;
    TrayProgress progress(&icon);
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("running"), 100, 1000));
    QCOMPARE(icon.toolTip(), Title + QStringLiteral("\nRunning: 1, done: 10%"));
    // No event loop runs in between, so the second cannot have passed.
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("running"), 500, 1000));
    QCOMPARE(icon.toolTip(), Title + QStringLiteral("\nRunning: 1, done: 10%"));
    QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), Title + QStringLiteral("\nRunning: 1, done: 50%"), TipTimeoutMs);
}

void TestTrayProgress::whenNoneRunsTheTipIsThePlainTitle()
{
    QSystemTrayIcon icon;
    TrayProgress progress(&icon);
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("running"), 100, 1000));
    progress.transferChanged(transfer(QStringLiteral("t2"), QStringLiteral("running"), 100, 1000));
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("done"), 1000, 1000));
    progress.transferRemoved(QStringLiteral("t2"));
    QTRY_COMPARE_WITH_TIMEOUT(icon.toolTip(), Title, TipTimeoutMs);
}

void TestTrayProgress::theTipFollowsTheLanguage()
{
    QSystemTrayIcon icon;
    TrayProgress progress(&icon);
    progress.transferChanged(transfer(QStringLiteral("t1"), QStringLiteral("running"), 250, 1000));
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(":/resource/translator/TesselEnterpriseCN.qm")));
    QCoreApplication::installTranslator(&chinese);
    progress.retranslate();
    QCoreApplication::removeTranslator(&chinese);
    QCOMPARE(icon.toolTip(), Title + QStringLiteral("\n正在传输：1 个，已完成 25%"));
}

NORV_TEST_MAIN(TestTrayProgress)
#include "tst_trayprogress.moc"
