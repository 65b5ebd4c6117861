#include "app/CMainWindow.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "config/SettingsFile.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "i18n/CTextTable.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTcpSocket>

#include <thread>

namespace {
// Sends a language change the way the portal page in a browser does, and returns the status code.
int postLanguage(quint16 port, const QByteArray& deviceId, const QByteArray& body)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000)) {
        return 0;
    }
    socket.write("POST /language HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nX-Device-Id: "
                 + deviceId + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray response;
    while (socket.waitForReadyRead(5000)) {
        response += socket.readAll();
    }
    const QList<QByteArray> statusLine = response.left(response.indexOf('\r')).split(' ');
    return statusLine.size() > 1 ? statusLine.at(1).toInt() : -1;
}

QStringList menuTexts(const CMainWindow* window)
{
    return {window->menuServer->title(),
            window->actExitServer->text(),
            window->menuHelp->title(),
            window->actAbout->text(),
            window->actSetting->text(),
            window->actMachineCode->text(),
            window->actCheckUpdate->text(),
            window->menuLanguage->title(),
            window->actChinese->text(),
            window->actEnglish->text(),
            window->actUserManual->text(),
            window->actTutorial->text()};
}

int storedLanguage()
{
    return QSettings(SettingsFile::path(), QSettings::IniFormat).value(QStringLiteral("Language")).toInt();
}

const QStringList Keys {"Server",
                        "ExitServer",
                        "Help",
                        "About",
                        "Setting",
                        "MachineCode",
                        "CheckUpdate",
                        "Language",
                        "Chinese",
                        "English",
                        "UserManual",
                        "Tutorial"};
const QStringList English {"Server",
                           "Exit server",
                           "Help",
                           "About",
                           "Settings",
                           "Device code",
                           "Check update",
                           "Language",
                           "Chinese",
                           "English",
                           "User Manual(pdf)",
                           "Tutorial"};
const QStringList Chinese {"服务器",
                           "退出服务器",
                           "帮助",
                           "关于",
                           "设置",
                           "设备码",
                           "检查更新",
                           "语言",
                           "中文",
                           "英文",
                           "用户手册(pdf)",
                           "Tutorial"};
} // namespace

class TestLanguageSwitch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void unknownStoredIndexShowsKeys();
    void browserSwitchesToChinese();
    void browserSwitchesToEnglish();
    void repeatedChoiceRebuildsTheTable();
    void otherIndexFromTheCoreKeepsTheCatalogues();
    void menuActionsSwitchAndPersist();

private:
    CMainWindow* m_window = nullptr;
    quint16 m_port = 0;
    QByteArray m_deviceId;
};

void TestLanguageSwitch::initTestCase()
{
    // A stored index that is neither language. Nothing shown at start: the cases show what they need.
    m_window = ShellFixture::build(2);
    QCOMPARE(m_window->language, 2);
    m_port = m_window->httpd->port();
    QVERIFY(m_port != 0);
    m_deviceId = m_window->core->Get_Deviceuuid().toLatin1();
}

void TestLanguageSwitch::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestLanguageSwitch::unknownStoredIndexShowsKeys()
{
    QCOMPARE(menuTexts(m_window), Keys);
    QVERIFY(!m_window->actChinese->isChecked() && !m_window->actEnglish->isChecked());
    QVERIFY(m_window->qtCatalogPath.isEmpty() && m_window->appCatalogPath.isEmpty());
    QCOMPARE(storedLanguage(), 2);
}

void TestLanguageSwitch::browserSwitchesToChinese()
{
    QCOMPARE(postLanguage(m_port, m_deviceId, "1"), 204);
    QTRY_COMPARE(menuTexts(m_window), Chinese);
    QVERIFY(m_window->actChinese->isChecked() && !m_window->actEnglish->isChecked());
    QCOMPARE(m_window->language, 1);
    QCOMPARE(storedLanguage(), 1);
    // Qt's own texts follow, too.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

void TestLanguageSwitch::browserSwitchesToEnglish()
{
    QCOMPARE(postLanguage(m_port, "not-the-device", "0"), 403);
    QCOMPARE(postLanguage(m_port, m_deviceId, "0"), 204);
    QTRY_COMPARE(menuTexts(m_window), English);
    QVERIFY(m_window->actEnglish->isChecked() && !m_window->actChinese->isChecked());
    QCOMPARE(storedLanguage(), 0);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

void TestLanguageSwitch::repeatedChoiceRebuildsTheTable()
{
    // Stale texts in the table and the menu are all replaced by choosing the same language again.
    m_window->textTable->Server = QStringLiteral("stale");
    m_window->menuHelp->setTitle(QStringLiteral("stale"));
    QFile::remove(SettingsFile::path());
    m_window->slot_switch_language(0);
    QCOMPARE(m_window->textTable->Server, QStringLiteral("Server"));
    QCOMPARE(menuTexts(m_window), English);
    QVERIFY(QFile::exists(SettingsFile::path()));
}

void TestLanguageSwitch::otherIndexFromTheCoreKeepsTheCatalogues()
{
    m_window->slot_switch_language(1);
    // The core may report from any thread; the switch must still happen on this one.
    std::thread reporter([core = m_window->core] { core->notifyLanguageChanged(7); });
    reporter.join();
    QTRY_COMPARE(m_window->language, 7);
    QCOMPARE(storedLanguage(), 7);
    QCOMPARE(menuTexts(m_window), Chinese);
    QVERIFY(m_window->actChinese->isChecked());
    QCOMPARE(m_window->appCatalogPath, QStringLiteral(":/resource/translator/TesselEnterpriseCN.qm"));
}

void TestLanguageSwitch::menuActionsSwitchAndPersist()
{
    m_window->actEnglish->trigger();
    QCOMPARE(menuTexts(m_window), English);
    QCOMPARE(storedLanguage(), 0);
    m_window->actChinese->trigger();
    QCOMPARE(menuTexts(m_window), Chinese);
    QCOMPARE(storedLanguage(), 1);
}

NORV_TEST_MAIN(TestLanguageSwitch)
#include "tst_languageswitch.moc"
