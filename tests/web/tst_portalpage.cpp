// The demo portal's page in the real engine, talking to a transfer agent the test plays:
// each page control must make the call the local transfer API expects.
#include "FakeTransferAgent.h"
#include "common/DemoPortalProcess.h"
#include "common/PageScript.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <memory>

using PageScript::AnswerTimeoutMs;
using PageScript::evaluate;

namespace {
const int LoadTimeoutMs = 30000;
const QByteArray DeviceId = QByteArrayLiteral("device-1");
const QString StoredFile = QStringLiteral("Reports/Q1 summary.csv");

QJsonObject transfer(const QString& state, qint64 done)
{
    return {{QStringLiteral("id"), QStringLiteral("t1")},
            {QStringLiteral("direction"), QStringLiteral("upload")},
            {QStringLiteral("name"), QStringLiteral("Reports")},
            {QStringLiteral("state"), state},
            {QStringLiteral("bytesDone"), done},
            {QStringLiteral("bytesTotal"), 200},
            {QStringLiteral("filesDone"), 1},
            {QStringLiteral("filesTotal"), 2},
            {QStringLiteral("bytesPerSecond"), 50},
            {QStringLiteral("error"), QString()}};
}
} // namespace

class TestPortalPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void dropAsksAgentToUploadWithPortalToken();
    void uploadFilesButtonUploadsWhatIsPicked();
    void downloadButtonAsksAgentForDownload();
    void transfersPanelFollowsEventsAndControlsTransfer();

private:
    // The first call of method and path after the first `from` calls; empty method if none comes.
    FakeTransferAgent::Call waitForCall(int from, const QByteArray& method, const QByteArray& path);
    void click(const QString& selector);
    QString portalHeader() const;

    ProcessSet m_processes;
    QTemporaryDir m_data;
    DemoPortalProcess m_portal;
    FakeTransferAgent m_agent {DeviceId};
    std::unique_ptr<QWebEngineProfile> m_profile;
    std::unique_ptr<QWebEnginePage> m_page;
    QString m_token;
};

void TestPortalPage::initTestCase()
{
    QVERIFY(QDir(m_data.path()).mkpath(QStringLiteral("Reports")));
    QFile stored(m_data.filePath(StoredFile));
    QVERIFY(stored.open(QIODevice::WriteOnly));
    stored.write("Quarter,Revenue\n");
    stored.close();
    QVERIFY(m_portal.start(m_processes, {QStringLiteral("--data"), m_data.path()}));
    QVERIFY(m_agent.listen());

    m_profile = std::make_unique<QWebEngineProfile>();
    m_page = std::make_unique<QWebEnginePage>(m_profile.get());
    QSignalSpy loaded(m_page.get(), &QWebEnginePage::loadFinished);
    m_page->load(
        QUrl(m_portal.origin()
             + QStringLiteral("/app/login?uuid=%1&httpd=%2").arg(QString::fromLatin1(DeviceId)).arg(m_agent.port())));
    QVERIFY(loaded.wait(LoadTimeoutMs));
    QCOMPARE(loaded.first().first().toBool(), true);
    m_token = evaluate(m_page.get(), QStringLiteral("PortalToken")).toString();
    QVERIFY(!m_token.isEmpty());
    // The page follows the agent's transfers from the start.
    QTRY_COMPARE_WITH_TIMEOUT(m_agent.openStreams(), 1, AnswerTimeoutMs);
    const FakeTransferAgent::Call events = m_agent.calls().constFirst();
    QCOMPARE(events.path, "/transfers/events?deviceId=" + DeviceId);
}

FakeTransferAgent::Call TestPortalPage::waitForCall(int from, const QByteArray& method, const QByteArray& path)
{
    FakeTransferAgent::Call found;
    QTest::qWaitFor(
        [&] {
            for (int i = from; i < m_agent.calls().size(); ++i) {
                if (m_agent.calls().at(i).method == method && m_agent.calls().at(i).path == path) {
                    found = m_agent.calls().at(i);
                    return true;
                }
            }
            return false;
        },
        AnswerTimeoutMs);
    if (found.method.isEmpty()) {
        qWarning() << "no call" << method << path;
    }
    return found;
}

void TestPortalPage::click(const QString& selector)
{
    // The selector goes in as JSON, so that its quotes need no escaping.
    const QString script =
        QStringLiteral("(() => { const e = document.querySelector(%1[0]); e?.click(); return !!e; })()")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray {selector}).toJson(QJsonDocument::Compact)));
    QVERIFY2(evaluate(m_page.get(), script).toBool(), qPrintable(selector));
}

QString TestPortalPage::portalHeader() const
{
    return QStringLiteral("Bearer ") + m_token;
}

void TestPortalPage::dropAsksAgentToUploadWithPortalToken()
{
    m_agent.setAnswer("POST /transfers", 201, {{QStringLiteral("id"), QStringLiteral("t1")}});
    const int mark = m_agent.calls().size();
    evaluate(m_page.get(), QStringLiteral("TesselDrage('folder', '/home/me/Reports')"));
    const FakeTransferAgent::Call call = waitForCall(mark, "POST", "/transfers");
    QCOMPARE(call.headers.value("x-device-id"), DeviceId);
    QCOMPARE(call.headers.value("origin"), m_portal.origin().toLatin1());
    const QJsonObject upload = call.body.value(QStringLiteral("upload")).toObject();
    QCOMPARE(upload.value(QStringLiteral("path")).toString(), QStringLiteral("/home/me/Reports"));
    QCOMPARE(upload.value(QStringLiteral("endpoint")).toString(), m_portal.origin() + QStringLiteral("/files/"));
    QCOMPARE(call.body.value(QStringLiteral("headers")).toObject().value(QStringLiteral("Authorization")).toString(),
             portalHeader());
}

void TestPortalPage::uploadFilesButtonUploadsWhatIsPicked()
{
    const QJsonObject picked {{QStringLiteral("path"), QStringLiteral("/home/me/a.txt")},
                              {QStringLiteral("size"), 12},
                              {QStringLiteral("kind"), QStringLiteral("file")}};
    m_agent.setAnswer("POST /pick/files", 200, {{QStringLiteral("items"), QJsonArray {picked}}});
    m_agent.setAnswer("POST /transfers", 201, {{QStringLiteral("id"), QStringLiteral("t2")}});
    const int mark = m_agent.calls().size();
    click(QStringLiteral("#upload-files"));
    QVERIFY(!waitForCall(mark, "POST", "/pick/files").method.isEmpty());
    const FakeTransferAgent::Call call = waitForCall(mark, "POST", "/transfers");
    QCOMPARE(call.body.value(QStringLiteral("upload")).toObject().value(QStringLiteral("path")).toString(),
             QStringLiteral("/home/me/a.txt"));
}

void TestPortalPage::downloadButtonAsksAgentForDownload()
{
    m_agent.setAnswer("POST /transfers", 201, {{QStringLiteral("id"), QStringLiteral("t3")}});
    const QString row = QStringLiteral("tr[data-path=\"%1\"] button").arg(StoredFile);
    QTRY_VERIFY_WITH_TIMEOUT(evaluate(m_page.get(), QStringLiteral("!!document.querySelector('%1')").arg(row)).toBool(),
                             AnswerTimeoutMs);
    const int mark = m_agent.calls().size();
    click(row);
    const FakeTransferAgent::Call call = waitForCall(mark, "POST", "/transfers");
    const QJsonObject download = call.body.value(QStringLiteral("download")).toObject();
    QCOMPARE(download.value(QStringLiteral("url")).toString(),
             m_portal.origin() + QStringLiteral("/download/Reports/Q1%20summary.csv"));
    QCOMPARE(download.value(QStringLiteral("name")).toString(), QStringLiteral("Q1 summary.csv"));
    QCOMPARE(download.value(QStringLiteral("folder")).toString(), QStringLiteral("downloads"));
    QCOMPARE(call.body.value(QStringLiteral("headers")).toObject().value(QStringLiteral("Authorization")).toString(),
             portalHeader());
}

void TestPortalPage::transfersPanelFollowsEventsAndControlsTransfer()
{
    const QString item = QStringLiteral(".transfer[data-id=\"t1\"]");
    m_agent.sendEvent("snapshot",
                      {{QStringLiteral("transfers"), QJsonArray {transfer(QStringLiteral("running"), 50)}}});
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(m_page.get(), QStringLiteral("document.querySelector('%1 .fill')?.style.width").arg(item)).toString(),
        QStringLiteral("25%"),
        AnswerTimeoutMs);
    m_agent.setAnswer("POST /transfers/t1/pause", 200, transfer(QStringLiteral("paused"), 100));
    int mark = m_agent.calls().size();
    click(item + QStringLiteral(" button[data-action=\"pause\"]"));
    QVERIFY(!waitForCall(mark, "POST", "/transfers/t1/pause").method.isEmpty());

    m_agent.sendEvent("state", transfer(QStringLiteral("paused"), 100));
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(m_page.get(), QStringLiteral("document.querySelector('%1')?.dataset.state").arg(item)).toString(),
        QStringLiteral("paused"),
        AnswerTimeoutMs);
    m_agent.setAnswer("POST /transfers/t1/resume", 200, transfer(QStringLiteral("running"), 100));
    mark = m_agent.calls().size();
    click(item + QStringLiteral(" button[data-action=\"resume\"]"));
    const FakeTransferAgent::Call resume = waitForCall(mark, "POST", "/transfers/t1/resume");
    QCOMPARE(resume.body.value(QStringLiteral("headers")).toObject().value(QStringLiteral("Authorization")).toString(),
             portalHeader());

    m_agent.setAnswer("POST /transfers/t1/cancel", 200, transfer(QStringLiteral("cancelled"), 100));
    mark = m_agent.calls().size();
    click(item + QStringLiteral(" button[data-action=\"cancel\"]"));
    QVERIFY(!waitForCall(mark, "POST", "/transfers/t1/cancel").method.isEmpty());

    m_agent.sendEvent("removed", {{QStringLiteral("id"), QStringLiteral("t1")}});
    QTRY_VERIFY_WITH_TIMEOUT(
        !evaluate(m_page.get(), QStringLiteral("!!document.querySelector('%1')").arg(item)).toBool(), AnswerTimeoutMs);
}

NORV_TEST_MAIN(TestPortalPage)
#include "tst_portalpage.moc"
