#include "app/ApplicationFont.h"
#include "app/CMainWindow.h"
#include "app/DeveloperView.h"
#include "app/DialogPlacement.h"
#include "app/Product.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "login/CLoginUI.h"

#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QWebEngineView>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void menuBarHoldsServerLanguageHelp();
    void menuEntriesAreInPlace();
    void languageEntriesAreExclusive();
    void developerViewComesHiddenWithTheEngine();
    void placementFormula_data();
    void placementFormula();
    void dialogIsPlacedOverTheWindowInUse();
    void applicationFontRendersLatinAndChinese();

private:
    CMainWindow* m_window = nullptr;
};

void TestMainWindow::initTestCase()
{
    // Nothing shown at start: the cases look at the windows as start-up builds them.
    m_window = ShellFixture::build();
}

void TestMainWindow::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestMainWindow::menuBarHoldsServerLanguageHelp()
{
    QCOMPARE(m_window->mainMenuBar, m_window->menuBar());
    const QList<QAction*> menus = m_window->mainMenuBar->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus.at(0)->menu(), m_window->menuServer);
    QCOMPARE(menus.at(1)->menu(), m_window->menuLanguage);
    QCOMPARE(menus.at(2)->menu(), m_window->menuHelp);
    QCOMPARE(m_window->mainMenuBar->styleSheet(),
             QStringLiteral("color: rgba(16, 16, 16, 1);font-size: 14px;text-align: center"));
    for (QMenu* menu : {m_window->menuServer, m_window->menuLanguage, m_window->menuHelp}) {
        QCOMPARE(menu->styleSheet(), QStringLiteral("color: rgba(16, 16, 16, 1);font-size: 12px;text-align: center"));
    }
    QCOMPARE(m_window->windowTitle(), QString::fromUtf8(ProductName));
    QCOMPARE(m_window->size(), QSize(800, 600));
}

void TestMainWindow::menuEntriesAreInPlace()
{
    const QList<QAction*> help = m_window->menuHelp->actions();
    const QList<QAction*> expectedHelp {
        m_window->actAbout, m_window->actSetting, m_window->actMachineCode, m_window->actCheckUpdate};
    QCOMPARE(help, expectedHelp);

    // A fresh installation has no saved servers: only the hidden ExitServer entry.
    const QList<QAction*> server = m_window->menuServer->actions();
    QCOMPARE(server, QList<QAction*> {m_window->actExitServer});
    QVERIFY(!m_window->actExitServer->isVisible());
    QCOMPARE(m_window->actExitServer->menuRole(), QAction::NoRole);

    // The manual and tutorial commands exist but sit in no menu.
    QVERIFY(m_window->actUserManual->associatedWidgets().isEmpty());
    QVERIFY(m_window->actTutorial->associatedWidgets().isEmpty());
    QVERIFY(m_window->actUserManual->toolTip().startsWith(QCoreApplication::applicationDirPath() + QLatin1Char('/')));
    QVERIFY(m_window->actUserManual->toolTip().endsWith(QStringLiteral(".pdf")));
    QVERIFY(m_window->serverGroup->isExclusive());
    QCOMPARE(m_window->serverGroup->parent(), m_window);
}

void TestMainWindow::languageEntriesAreExclusive()
{
    QCOMPARE(m_window->menuLanguage->actions(), (QList<QAction*> {m_window->actChinese, m_window->actEnglish}));
    QVERIFY(m_window->actChinese->isCheckable() && m_window->actEnglish->isCheckable());
    QActionGroup* group = m_window->actChinese->actionGroup();
    QVERIFY(group && group->isExclusive());
    QCOMPARE(m_window->actEnglish->actionGroup(), group);
    QCOMPARE(group->actions(), (QList<QAction*> {m_window->actEnglish, m_window->actChinese}));
    QVERIFY(group != m_window->serverGroup);

    m_window->actChinese->setChecked(true);
    m_window->actEnglish->setChecked(true);
    QVERIFY(!m_window->actChinese->isChecked());
}

void TestMainWindow::developerViewComesHiddenWithTheEngine()
{
    QCOMPARE(m_window->centralWidget(), m_window->splitter);
    QCOMPARE(m_window->splitter->orientation(), Qt::Vertical);
    // Nothing here has needed the engine yet: start-up leaves it for the first portal.
    QCOMPARE(m_window->splitter->count(), 0);
    QVERIFY(m_window->webEngine());
    QCOMPARE(m_window->splitter->count(), 1);
    QCOMPARE(m_window->splitter->widget(0), m_window->devToolsView);
    QVERIFY(m_window->devToolsView->isHidden());
}

void TestMainWindow::placementFormula_data()
{
    QTest::addColumn<QRect>("reference");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even sizes") << QRect(100, 200, 800, 600) << QSize(310, 170) << QPoint(345, 385);
    QTest::newRow("odd sizes truncate") << QRect(0, 0, 501, 593) << QSize(311, 171) << QPoint(95, 181);
    QTest::newRow("negative origin") << QRect(-1920, -50, 1920, 1080) << QSize(400, 300) << QPoint(-1160, 310);
    QTest::newRow("dialog larger than window") << QRect(10, 10, 100, 100) << QSize(301, 201) << QPoint(-90, -70);
}

void TestMainWindow::placementFormula()
{
    QFETCH(QRect, reference);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, expected);
    QCOMPARE(DialogPlacement::position(reference, dialog), expected);
}

void TestMainWindow::dialogIsPlacedOverTheWindowInUse()
{
    QDialog dialog;
    dialog.setFixedSize(310, 170);
    m_window->hide();
    m_window->loginUI->move(120, 80);
    m_window->loginUI->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->loginUI));
    m_window->placeDialog(&dialog);
    QCOMPARE(dialog.pos(), DialogPlacement::position(m_window->loginUI->geometry(), dialog.size()));

    m_window->loginUI->hide();
    m_window->setGeometry(40, 60, 900, 700);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->placeDialog(&dialog);
    QCOMPARE(dialog.pos(), DialogPlacement::position(m_window->geometry(), dialog.size()));
    QVERIFY(dialog.pos() != DialogPlacement::position(m_window->loginUI->geometry(), dialog.size()));
    m_window->hide();
}

void TestMainWindow::applicationFontRendersLatinAndChinese()
{
    ApplicationFont::apply();
    const QFont font = QApplication::font();
    QCOMPARE(font.family(), QStringLiteral("Microsoft YaHei"));
    QCOMPARE(font.pixelSize(), 14);
    // Without the family itself, installed stand-ins are registered, each carrying both scripts.
    const QStringList installed = QFontDatabase().families();
    const QStringList substitutes = QFont::substitutes(font.family());
    QCOMPARE(installed.contains(font.family()), substitutes.isEmpty());
    for (const QString& substitute : substitutes) {
        QVERIFY2(installed.contains(substitute, Qt::CaseInsensitive), qPrintable(substitute));
        QVERIFY2(QFontMetrics(QFont(substitute)).inFont(QChar(0x4E2D)), qPrintable(substitute));
    }
    const QFontMetrics metrics(font);
    QVERIFY(metrics.inFont(QLatin1Char('A')));
    QVERIFY2(metrics.inFont(QChar(0x4E2D)), qPrintable(QFontInfo(font).family() + QStringLiteral(" lacks Chinese")));
}

NORV_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
