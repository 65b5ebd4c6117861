#include "common/TestEnvironment.h"
#include "i18n/CTextTable.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QTranslator>

#include <iterator>

// Q_INIT_RESOURCE declares the registration function where it is used, so it has to stay
// outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(norv);
}

namespace {
const QString qtCatalogueCN = QStringLiteral(":/resource/translator/qtranslatorCN.qm");
const QString qtCatalogueEN = QStringLiteral(":/resource/translator/qtranslatorEN.qm");
const QString appCatalogueCN = QStringLiteral(":/resource/translator/TesselEnterpriseCN.qm");
const QString appCatalogueEN = QStringLiteral(":/resource/translator/TesselEnterpriseEN.qm");
const QString missingCatalogue = QStringLiteral(":/resource/translator/missing.qm");
const QString catalogues[] = {qtCatalogueCN, qtCatalogueEN, appCatalogueCN, appCatalogueEN};

struct Image
{
    const char* path;
    QSize size;
};

const Image imageFiles[] = {
    {":/resource/image/close.png", {24, 24}},
    {":/resource/image/drop-down.png", {24, 24}},
    {":/resource/image/check.png", {14, 14}},
    {":/resource/image/uncheck.png", {14, 14}},
    {":/resource/image/norv_login_cn.png", {330, 170}},
    {":/resource/image/norv_login_en.png", {330, 170}},
    {":/resource/image/norv64.png", {64, 64}},
    {":/resource/image/norv32.png", {32, 32}},
    {":/resource/image/warning.png", {25, 25}},
    {":/resource/image/close@2x.png", {48, 48}},
    {":/resource/image/drop-down@2x.png", {48, 48}},
    {":/resource/image/check@2x.png", {28, 28}},
    {":/resource/image/uncheck@2x.png", {28, 28}},
    {":/resource/image/norv_login_cn@2x.png", {660, 340}},
    {":/resource/image/norv_login_en@2x.png", {660, 340}},
    {":/resource/image/norv64@2x.png", {128, 128}},
    {":/resource/image/norv32@2x.png", {64, 64}},
    {":/resource/image/warning@2x.png", {50, 50}},
};

struct Text
{
    const char* key;
    QString CTextTable::*member;
    const char* english;
    // nullptr where the Chinese catalogue leaves the key untranslated.
    const char* chinese;
};

const Text expectedTexts[] = {
    {"Server", &CTextTable::Server, "Server", "服务器"},
    {"ExitServer", &CTextTable::ExitServer, "Exit server", "退出服务器"},
    {"Help", &CTextTable::Help, "Help", "帮助"},
    {"About", &CTextTable::About, "About", "关于"},
    {"MachineCode", &CTextTable::MachineCode, "Device code", "设备码"},
    {"CheckUpdate", &CTextTable::CheckUpdate, "Check update", "检查更新"},
    {"ServerName", &CTextTable::ServerName, "Server name", "服务器名称"},
    {"OK", &CTextTable::OK, "OK", "确定"},
    {"Cancel", &CTextTable::Cancel, "Cancel", "取消"},
    {"Tip", &CTextTable::Tip, "Tips", "提示"},
    {"MachineCodeIs", &CTextTable::MachineCodeIs, "Your current device code is", "您当前的设备码为"},
    {"UseNewestVersion", &CTextTable::UseNewestVersion, "You are using the latest version", "您正在使用最新版本"},
    {"ConnectFailed",
     &CTextTable::ConnectFailed,
     "Server connection failed, please check network or change server address",
     "服务器连接失败，请检查网络或更换服务器地址"},
    {"LowPermission",
     &CTextTable::LowPermission,
     "Device cannot log in because of setting security permission, please contact the administrator",
     "该设备由于设置安全权限无法登录，请联系管理员"},
    {"Language", &CTextTable::Language, "Language", "语言"},
    {"Chinese", &CTextTable::Chinese, "Chinese", "中文"},
    {"English", &CTextTable::English, "English", "英文"},
    {"Version", &CTextTable::Version, "Version", "版本"},
    {"TransferLog", &CTextTable::TransferLog, "System Log", "传输日志"},
    {"Copy", &CTextTable::Copy, "Copy", "复制"},
    {"Paste", &CTextTable::Paste, "Paste", "粘贴"},
    {"Cut", &CTextTable::Cut, "Cut", "剪切"},
    {"Back", &CTextTable::Back, "Back", "后退"},
    {"Forward", &CTextTable::Forward, "Forward", "前进"},
    {"Reload", &CTextTable::Reload, "Reload", "重新载入"},
    {"SelectAll", &CTextTable::SelectAll, "Select all", "全选"},
    {"SaveAs", &CTextTable::SaveAs, "Save as", "页面另存为"},
    {"OriginalFile", &CTextTable::OriginalFile, "Page original document", "页面原始档"},
    {"FindNewVerIsDown", &CTextTable::FindNewVerIsDown, "Find a new version, download it?", "发现新版本是否下载"},
    {"CheckUpdateFailed", &CTextTable::CheckUpdateFailed, "Check update failed", "检查更新失败"},
    {"Setting", &CTextTable::Setting, "Settings", "设置"},
    {"AutoStart", &CTextTable::AutoStart, "Start up automatically when system starts", "开机自动启动"},
    {"MiniTray", &CTextTable::MiniTray, "Minimize to system tray when window closed", "窗口关闭时最小化到托盘"},
    {"Exit", &CTextTable::Exit, "Quit", "退出"},
    {"ConnectNewServer", &CTextTable::ConnectNewServer, "Connect to the new server", "连接新服务器"},
    {"ServerAddress", &CTextTable::ServerAddress, "Server address", "服务器地址"},
    {"ServerAlias", &CTextTable::ServerAlias, "Alias", "为服务器取个别名"},
    {"Continue", &CTextTable::Continue, "Continue", "继续"},
    {"SelectServer", &CTextTable::SelectServer, "Select Server", "选择已连接过的服务器"},
    {"BrowserModel",
     &CTextTable::BrowserModel,
     "Now you can use Tessel via browser, if you prefer to access Tessel via client application,",
     "您正在通过浏览器使用Tessel，如果您希望使用客户端来访问Tessel"},
    {"BrowserModelPavo",
     &CTextTable::BrowserModelPavo,
     "Now you can use Pavo via browser, if you prefer to access Pavo via client application,",
     "您正在通过浏览器使用Pavo，如果您希望使用客户端来访问Pavo"},
    {"ExitBrowserModel", &CTextTable::ExitBrowserModel, "please click here", "请按这里"},
    {"SwitchModelTip",
     &CTextTable::SwitchModelTip,
     "Click OK will stop active transmission tasks on the browser, and switch to client app login. Continue?",
     "退出将停止浏览器上的传输任务并切换到客户端登录，确定退出？"},
    {"SetDefaultServer", &CTextTable::SetDefaultServer, "Set as default server", "设为默认服务器"},
    {"UserManual", &CTextTable::UserManual, "User Manual(pdf)", "用户手册(pdf)"},
    {"Tutorial", &CTextTable::Tutorial, "Tutorial", nullptr},
    {"ProxyLogin", &CTextTable::ProxyLogin, "Proxy login", "代理服务器登录"},
    {"ProxyAsksForLogin",
     &CTextTable::ProxyAsksForLogin,
     "The proxy %1 asks for a user name and password.",
     "代理服务器 %1 要求输入用户名和密码。"},
    {"ProxyUser", &CTextTable::ProxyUser, "User name", "用户名"},
    {"ProxyPassword", &CTextTable::ProxyPassword, "Password", "密码"},
};
} // namespace

class TestCatalogues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cataloguesLoad_data();
    void cataloguesLoad();
    void keysAreInMemberOrder();
    void tableTexts_data();
    void tableTexts();
    void chineseCatalogueLeavesTutorialOut();
    void chineseQtCatalogueIsQts_data();
    void chineseQtCatalogueIsQts();
    void englishQtCatalogueIsEmpty();
    void images_data();
    void images();
    void resourceTreeHoldsOnlyCataloguesAndImages();
};

void TestCatalogues::initTestCase()
{
    initResources();
}

void TestCatalogues::cataloguesLoad_data()
{
    QTest::addColumn<QString>("path");
    for (const QString& path : catalogues)
        QTest::newRow(qPrintable(path)) << path;
}

void TestCatalogues::cataloguesLoad()
{
    QFETCH(QString, path);
    QTranslator translator;
    QVERIFY(translator.load(path));
}

void TestCatalogues::keysAreInMemberOrder()
{
    QStringList expected;
    for (const Text& text : expectedTexts)
        expected.append(QString::fromLatin1(text.key));
    QCOMPARE(CTextTable::keys(), expected);
}

void TestCatalogues::tableTexts_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    for (int index = 0; index < int(std::size(expectedTexts)); ++index) {
        const Text& text = expectedTexts[index];
        const QString key = QString::fromLatin1(text.key);
        QTest::addRow("English/%s", text.key) << appCatalogueEN << true << index << QString::fromUtf8(text.english);
        QTest::addRow("Chinese/%s", text.key)
            << appCatalogueCN << true << index << (text.chinese ? QString::fromUtf8(text.chinese) : key);
        QTest::addRow("no translator/%s", text.key) << QString() << false << index << key;
        QTest::addRow("failed load/%s", text.key) << missingCatalogue << false << index << key;
    }
}

void TestCatalogues::tableTexts()
{
    QFETCH(QString, catalogue);
    QFETCH(bool, loads);
    QFETCH(int, index);
    QFETCH(QString, expected);

    // Destroying the translator uninstalls it.
    QTranslator translator;
    if (!catalogue.isEmpty()) {
        QCOMPARE(translator.load(catalogue), loads);
        QCoreApplication::installTranslator(&translator);
    }
    const CTextTable table;
    QCOMPARE(table.*expectedTexts[index].member, expected);
}

void TestCatalogues::chineseCatalogueLeavesTutorialOut()
{
    // An empty answer is what makes tr() fall back to the key.
    QTranslator translator;
    QVERIFY(translator.load(appCatalogueCN));
    QCOMPARE(translator.translate("QObject", "Tutorial"), QString());
}

void TestCatalogues::chineseQtCatalogueIsQts_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("expected");
    QTest::newRow("QPlatformTheme/Cancel")
        << QByteArray("QPlatformTheme") << QByteArray("Cancel") << QStringLiteral("取消");
    QTest::newRow("QDialogButtonBox/OK") << QByteArray("QDialogButtonBox") << QByteArray("OK")
                                         << QStringLiteral("确定");
}

void TestCatalogues::chineseQtCatalogueIsQts()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(QString, expected);
    QTranslator translator;
    QVERIFY(translator.load(qtCatalogueCN));
    QCOMPARE(translator.translate(context.constData(), source.constData()), expected);
}

void TestCatalogues::englishQtCatalogueIsEmpty()
{
    QTranslator translator;
    QVERIFY(translator.load(qtCatalogueEN));
    QVERIFY(translator.isEmpty());
}

void TestCatalogues::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const Image& image : imageFiles)
        QTest::newRow(image.path) << QString::fromLatin1(image.path) << image.size;
}

void TestCatalogues::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QVERIFY(QFile::exists(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
}

void TestCatalogues::resourceTreeHoldsOnlyCataloguesAndImages()
{
    QStringList expected(std::begin(catalogues), std::end(catalogues));
    for (const Image& image : imageFiles)
        expected.append(QString::fromLatin1(image.path));
    expected.sort();

    QStringList found;
    QDirIterator files(QStringLiteral(":/resource"), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        found.append(files.next());
    found.sort();
    QCOMPARE(found, expected);
}

NORV_TEST_MAIN(TestCatalogues)
#include "tst_catalogues.moc"
