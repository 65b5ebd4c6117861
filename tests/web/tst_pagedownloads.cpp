// Downloads the portal page starts itself, in the shell built as the client builds it: a link
// clicked in the real page is saved by the engine with the page's session into the Downloads
// folder under the agent's names, listed to the page as a "page" transfer, and a cancel
// through the local service stops the engine.
#include "app/CMainWindow.h"
#include "common/DemoPortalProcess.h"
#include "common/PageScript.h"
#include "common/ProcessSet.h"
#include "common/RawHttp.h"
#include "common/ShellFixture.h"
#include "common/TestData.h"
#include "common/TestEnvironment.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "core/transfer/TransferAgent.h"
#include "web/CWebEngineView.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using PageScript::evaluate;

namespace {
const int LoadTimeoutMs = 30000;
const int DownloadTimeoutMs = 60000;
const QString StoredName = QStringLiteral("report.txt");
const QString StalledName = QStringLiteral("stalled.bin");
const QByteArray StalledHead = QByteArrayLiteral("HTTP/1.1 200 OK\r\n"
                                                 "Content-Type: application/octet-stream\r\n"
                                                 "Content-Disposition: attachment; filename=\"stalled.bin\"\r\n"
                                                 "Content-Length: 10000000\r\n\r\n");
const int StalledFirstBytes = 4096;

QString downloads()
{
    return TestEnvironment::homeFolder() + QStringLiteral("/Downloads/");
}
} // namespace

class TestPageDownloads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void clickedLinkIsSavedAndListedAsPage();
    void aTakenNameGetsTheNextNumber();
    void cancelThroughTheLocalServiceStopsTheEngine();

private:
    // Clicks the first element matching selector in the portal page; false when there is none.
    bool click(const QString& selector);
    // The agent's transfer of that name last started; empty when there is none.
    QJsonObject listed(const QString& name) const;

    ProcessSet m_processes;
    QTemporaryDir m_data;
    DemoPortalProcess m_portal;
    CMainWindow* m_window = nullptr;
};

void TestPageDownloads::initTestCase()
{
    QFile stored(m_data.filePath(StoredName));
    QVERIFY(stored.open(QIODevice::WriteOnly) && stored.write("Quarter,Revenue\nQ1,100\n") > 0);
    stored.close();
    m_window = ShellFixture::start();
    QVERIFY(m_portal.start(m_processes,
                           {QStringLiteral("--data"),
                            m_data.path(),
                            QStringLiteral("--agent-port"),
                            QString::number(m_window->httpd->port())}));
    m_window->handle_load(QStringLiteral("Demo"), m_portal.origin(), true);
    QVERIFY(QTest::qWaitFor([this] { return !m_window->loading; }, LoadTimeoutMs));
    QVERIFY(m_window->inPortal);
    QTRY_VERIFY_WITH_TIMEOUT(
        evaluate(m_window->webView->page(), QStringLiteral("!!document.querySelector('a.save')")).toBool(),
        LoadTimeoutMs);
}

void TestPageDownloads::cleanupTestCase()
{
    if (m_window) {
        ShellFixture::stop(m_window);
    }
}

bool TestPageDownloads::click(const QString& selector)
{
    // The selector goes in as JSON, so that its quotes need no escaping.
    const QString script =
        QStringLiteral("(() => { const e = document.querySelector(%1[0]); e?.click(); return !!e; })()")
            .arg(QString::fromUtf8(QJsonDocument(QJsonArray {selector}).toJson(QJsonDocument::Compact)));
    return evaluate(m_window->webView->page(), script).toBool();
}

QJsonObject TestPageDownloads::listed(const QString& name) const
{
    TransferAgent* agent = m_window->portal->transferAgent();
    QJsonObject found;
    for (const QJsonValue& value : agent->call([agent] { return agent->list(); })) {
        if (value.toObject().value(QStringLiteral("name")).toString() == name) {
            found = value.toObject();
        }
    }
    return found;
}

void TestPageDownloads::clickedLinkIsSavedAndListedAsPage()
{
    // The link carries no token: only the page's session cookie lets the portal answer.
    QVERIFY(click(QStringLiteral("tr[data-path=\"report.txt\"] a.save")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(downloads() + StoredName), DownloadTimeoutMs);
    QCOMPARE(TestData::sha256Of(downloads() + StoredName), TestData::sha256Of(m_data.filePath(StoredName)));
    QVERIFY(!QFile::exists(downloads() + StoredName + QStringLiteral(".part")));

    QTRY_COMPARE_WITH_TIMEOUT(
        listed(StoredName).value(QStringLiteral("state")).toString(), QStringLiteral("done"), DownloadTimeoutMs);
    QCOMPARE(listed(StoredName).value(QStringLiteral("direction")).toString(), QStringLiteral("page"));
    // The page follows it through the events stream like its own transfers.
    const QString id = listed(StoredName).value(QStringLiteral("id")).toString();
    QTRY_VERIFY_WITH_TIMEOUT(
        evaluate(
            m_window->webView->page(),
            QStringLiteral("document.querySelector('li.transfer[data-id=\"%1\"]')?.dataset.state === 'done'").arg(id))
            .toBool(),
        DownloadTimeoutMs);
}

void TestPageDownloads::aTakenNameGetsTheNextNumber()
{
    QVERIFY(QFile::exists(downloads() + StoredName));
    const QString numbered = QStringLiteral("report (1).txt");
    QVERIFY(click(QStringLiteral("tr[data-path=\"report.txt\"] a.save")));
    QTRY_COMPARE_WITH_TIMEOUT(
        listed(numbered).value(QStringLiteral("state")).toString(), QStringLiteral("done"), DownloadTimeoutMs);
    QCOMPARE(TestData::sha256Of(downloads() + numbered), TestData::sha256Of(m_data.filePath(StoredName)));
}

void TestPageDownloads::cancelThroughTheLocalServiceStopsTheEngine()
{
    // A server of the test's own that sends the head and a little, then waits.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    // The connection that carried the request: the engine may open others it never uses.
    QTcpSocket* peer = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* connection = server.nextPendingConnection();
        connect(connection, &QTcpSocket::readyRead, connection, [&peer, connection] {
            if (connection->readAll().contains("\r\n\r\n")) {
                peer = connection;
                connection->write(StalledHead + QByteArray(StalledFirstBytes, 'x'));
            }
        });
    });
    const QString link = QStringLiteral("http://127.0.0.1:%1/stalled").arg(server.serverPort());
    evaluate(m_window->webView->page(),
             QStringLiteral("(() => { const a = document.createElement('a'); a.href = '%1'; document.body.append(a); "
                            "a.click(); return true; })()")
                 .arg(link));
    QTRY_COMPARE_WITH_TIMEOUT(
        listed(StalledName).value(QStringLiteral("state")).toString(), QStringLiteral("running"), DownloadTimeoutMs);
    const QString id = listed(StalledName).value(QStringLiteral("id")).toString();
    QVERIFY(QFile::exists(downloads() + StalledName + QStringLiteral(".part")));

    // The request the page's cancel control makes.
    const quint16 port = m_window->httpd->port();
    const RawReply cancelled =
        RawHttp::exchange(port,
                          "POST /transfers/" + id.toLatin1() + "/cancel HTTP/1.1\r\n" + RawHttp::hostLine(port)
                              + "Origin: " + m_portal.origin().toLatin1() + "\r\nX-Device-Id: "
                              + m_window->core->Get_Deviceuuid().toLatin1() + "\r\nContent-Length: 0\r\n\r\n");
    QCOMPARE(cancelled.status, 200);
    QTRY_COMPARE_WITH_TIMEOUT(
        listed(StalledName).value(QStringLiteral("state")).toString(), QStringLiteral("cancelled"), DownloadTimeoutMs);
    QVERIFY(peer);
    QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, DownloadTimeoutMs);
    QVERIFY(!QFile::exists(downloads() + StalledName));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(downloads() + StalledName + QStringLiteral(".part")), DownloadTimeoutMs);
}

NORV_TEST_MAIN(TestPageDownloads)
#include "tst_pagedownloads.moc"
