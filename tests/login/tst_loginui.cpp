#include "app/CMainWindow.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "config/DataDirectory.h"
#include "config/ServerConfigFile.h"
#include "core/TesselPortal.h"
#include "core/transfer/CertificateTrust.h"
#include "i18n/CTextTable.h"
#include "login/ButtonDelete.h"
#include "login/CCombox.h"
#include "login/CLoginUI.h"
#include "login/ItemWidgetFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>

namespace {
const ServerEntry Office {QStringLiteral("Office"), QStringLiteral("https://files.example"), false};
const ServerEntry Lab {QStringLiteral("Lab (west)"), QStringLiteral("https://lab.example:8443"), true};
const ServerEntry Home {QStringLiteral("Home"), QStringLiteral("http://home.example"), false};

QString serverFile()
{
    return DataDirectory::filePath(QStringLiteral("ServerConfig.xml"));
}

QVector<ServerEntry> savedOnDisk()
{
    QVector<ServerEntry> servers;
    ServerConfigFile(serverFile()).read(servers);
    return servers;
}

QStringList displayTexts(const QVector<ServerEntry>& servers)
{
    QStringList texts;
    for (const ServerEntry& server : servers) {
        texts << server.displayText();
    }
    return texts;
}

// What a tool tip shows: rendered as markup when Qt takes it for markup, else as it is.
QString shownToolTip(const QWidget* widget)
{
    const QString tip = widget->toolTip();
    if (!Qt::mightBeRichText(tip)) {
        return tip;
    }
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
}

void click(QWidget* widget)
{
    // A check box takes clicks on its box and text only, which the client's font may leave short of the middle.
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect clickable = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box);
        QTest::mouseClick(widget, Qt::LeftButton, {}, clickable.center());
        return;
    }
    QTest::mouseClick(widget, Qt::LeftButton);
}
} // namespace

class TestLoginUI : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void startsInNewServerModeWithoutServers();
    void preselectsTheLastDefaultServer();
    void facesFollowTheLinks();
    void browserModeShowsOnlyTheNotice();
    void leavingBrowserModeChoosesTheFace();
    void continueSplitsTheSelectedText_data();
    void continueSplitsTheSelectedText();
    void continueInNewServerMode();
    void continueInBrowserModeDoesNothing();
    void enterInAFieldDoesNothing();
    void firstLoginSavesTheServer();
    void repeatedAddressChangesNothing();
    void clickingARowSelectsIt();
    void aliasAndAddressAreShownAsText();
    void deletingTheSelectedServer();
    void deletingAnUnselectedServer();
    void deletingTheLastServer();
    void deletingOneOfTwoSameAddresses();
    void staleRowIsNotRemoved();
    void wheelNeverChangesTheSelection();
    void defaultBoxMarksEveryContainedAddress();
    void defaultBoxInNewServerModeKeepsTheFile();
    void linksEndAtTheSameEdgeInBothLanguages();
    void browserNoticeLayoutFollowsTheLanguage();
    void languageChangeTurnsANoticeIntoTheFailure();
    void closingWithMinimiseToTrayOnOnlyHides();

private:
    void open(const QVector<ServerEntry>& servers, int language = 0);
    CLoginUI* login() const { return m_window->loginUI; }
    QStringList rowTexts() const;
    QStringList menuTexts() const;
    QList<QAction*> serverActions() const;
    ItemWidgetFile* row(int index) const;
    void deleteRow(int index);
    void expectInStep(const QVector<ServerEntry>& expected);

    CMainWindow* m_window = nullptr;
};

void TestLoginUI::open(const QVector<ServerEntry>& servers, int language)
{
    QFile::remove(serverFile());
    if (!servers.isEmpty()) {
        QDir().mkpath(DataDirectory::path());
        ServerConfigFile(serverFile()).write(servers);
    }
    // No handle_show: its automatic login would connect the default server these cases save.
    m_window = ShellFixture::build(language);
    login()->setMenuBar(m_window->mainMenuBar);
    login()->setBrowserMode(false);
    login()->show();
    QVERIFY(QTest::qWaitForWindowExposed(login()));
}

void TestLoginUI::cleanup()
{
    if (!m_window) {
        return;
    }
    ShellFixture::stop(m_window);
    m_window = nullptr;
}

QStringList TestLoginUI::rowTexts() const
{
    QStringList texts;
    for (int index = 0; index < login()->listWidget->count(); ++index) {
        texts << row(index)->labelText->text();
    }
    return texts;
}

QList<QAction*> TestLoginUI::serverActions() const
{
    QList<QAction*> actions = m_window->menuServer->actions();
    actions.removeAll(m_window->actExitServer);
    return actions;
}

QStringList TestLoginUI::menuTexts() const
{
    QStringList texts;
    for (const QAction* action : serverActions()) {
        texts << action->text();
    }
    return texts;
}

ItemWidgetFile* TestLoginUI::row(int index) const
{
    QListWidget* list = login()->listWidget;
    return qobject_cast<ItemWidgetFile*>(list->itemWidget(list->item(index)));
}

// Presses a row's delete button inside the open popup, as the user does.
void TestLoginUI::deleteRow(int index)
{
    login()->comboServer->showPopup();
    QTRY_VERIFY(login()->listWidget->isVisible());
    ButtonDelete* button = row(index)->findChild<ButtonDelete*>();
    QVERIFY(button);
    click(button);
    // Let the list dispose of the removed row now, so a late use of it would show.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!login()->listWidget->isVisible());
}

// The list in memory, the file, the rows and the Server menu hold the same servers in the same order.
void TestLoginUI::expectInStep(const QVector<ServerEntry>& expected)
{
    QCOMPARE(displayTexts(m_window->serverList), displayTexts(expected));
    QCOMPARE(displayTexts(savedOnDisk()), displayTexts(expected));
    QCOMPARE(rowTexts(), displayTexts(expected));
    QCOMPARE(menuTexts(), displayTexts(expected));
    for (int index = 0; index < expected.size(); ++index) {
        QCOMPARE(row(index)->accessibleName(), expected[index].url);
        QCOMPARE(row(index)->objectName(), expected[index].name);
        QCOMPARE(serverActions()[index]->toolTip(), expected[index].url);
        QCOMPARE(serverActions()[index]->objectName(), expected[index].name);
    }
    QCOMPARE(m_window->menuServer->actions().last(), m_window->actExitServer);
}

void TestLoginUI::startsInNewServerModeWithoutServers()
{
    open({});
    QVERIFY(login()->comboServer->isHidden());
    QVERIFY(login()->editAddress->isVisible() && login()->editAlias->isVisible());
    QCOMPARE(login()->labelTitle->text(), QStringLiteral("Connect to the new server"));
    QCOMPARE(login()->buttonContinue->geometry(), QRect(100, 427, 300, 36));
    QVERIFY(serverActions().isEmpty());
    QCOMPARE(login()->comboServer->currentText(), QString());
}

void TestLoginUI::preselectsTheLastDefaultServer()
{
    ServerEntry secondDefault = Home;
    secondDefault.isDefault = true;
    open({Office, Lab, secondDefault});
    QCOMPARE(login()->comboServer->currentText(), secondDefault.displayText());
    QCOMPARE(shownToolTip(login()->comboServer), secondDefault.displayText());
    QVERIFY(login()->checkDefault->isChecked());
    QVERIFY(serverActions()[2]->isChecked());
    cleanup();

    // Without any default, the last server is selected and the box stays clear.
    open({Office, Home});
    QCOMPARE(login()->comboServer->currentText(), Home.displayText());
    QVERIFY(!login()->checkDefault->isChecked());
    QVERIFY(login()->comboServer->isVisible());
    QCOMPARE(login()->labelTitle->text(), QStringLiteral("Select Server"));
}

void TestLoginUI::facesFollowTheLinks()
{
    open({Office});
    QCOMPARE(login()->checkDefault->geometry(), QRect(100, 319, 300, 36));
    click(login()->buttonNewServer);
    QVERIFY(login()->comboServer->isHidden() && login()->buttonNewServer->isHidden());
    QVERIFY(login()->editAddress->isVisible() && login()->labelAlias->isVisible());
    QVERIFY(login()->buttonSelectServer->isVisible() && login()->labelAddress->isVisible());
    QCOMPARE(login()->checkDefault->geometry(), QRect(100, 391, 300, 36));
    QCOMPARE(login()->labelTitle->text(), QStringLiteral("Connect to the new server"));

    click(login()->buttonSelectServer);
    QVERIFY(login()->comboServer->isVisible() && login()->editAddress->isHidden());
    QCOMPARE(login()->buttonContinue->geometry(), QRect(100, 355, 300, 36));
    QCOMPARE(login()->labelTitle->text(), QStringLiteral("Select Server"));
}

void TestLoginUI::browserModeShowsOnlyTheNotice()
{
    open({Office});
    login()->setBrowserMode(true);
    QVERIFY(CLoginUI::browserModeOn());
    const QList<QWidget*> visible = login()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* widget : visible) {
        if (widget == m_window->mainMenuBar) {
            continue;
        }
        const bool expected = widget == login()->labelBrowserMode || widget == login()->buttonExitBrowserMode;
        QCOMPARE(widget->isVisible(), expected);
    }
    QCOMPARE(login()->labelBrowserMode->text(), m_window->textTable->BrowserModel);
}

void TestLoginUI::leavingBrowserModeChoosesTheFace()
{
    open({});
    login()->setBrowserMode(true);
    login()->setBrowserMode(false);
    QVERIFY(!CLoginUI::browserModeOn());
    QVERIFY(login()->editAddress->isVisible() && login()->comboServer->isHidden());
    cleanup();

    open({Office});
    login()->setBrowserMode(true);
    login()->setBrowserMode(false);
    QVERIFY(login()->comboServer->isVisible() && login()->editAddress->isHidden());
    QVERIFY(login()->labelBrowserMode->isHidden());
}

void TestLoginUI::continueSplitsTheSelectedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("loads");
    QTest::newRow("display text") << "Office (https://files.example)"
                                  << "Office"
                                  << "https://files.example" << true;
    QTest::newRow("name with parentheses") << "Lab (west) (https://lab.example:8443)"
                                           << "Lab (west)"
                                           << "https://lab.example:8443" << true;
    QTest::newRow("no parentheses") << "https://typed.example"
                                    << "https://typed.example"
                                    << "https://typed.example" << true;
    QTest::newRow("capital scheme") << "Up (HTTPS://UP.EXAMPLE)"
                                    << "Up"
                                    << "HTTPS://UP.EXAMPLE" << true;
    QTest::newRow("address with parenthesis") << "A (https://a.example/x(1))"
                                              << ""
                                              << "" << false;
    QTest::newRow("no scheme") << "Bare (files.example)"
                               << ""
                               << "" << false;
}

void TestLoginUI::continueSplitsTheSelectedText()
{
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, url);
    QFETCH(bool, loads);
    open({Office});
    login()->comboServer->setCurrentText(text);
    click(login()->buttonContinue);
    if (loads) {
        QCOMPARE(m_window->currentName, name);
        QCOMPARE(m_window->currentUrl, url);
        QCOMPARE(login()->labelMessage->text(), QStringLiteral("loading..."));
        QVERIFY(!login()->buttonContinue->isEnabled());
        QVERIFY(login()->checkDefault->isEnabled());
    } else {
        QVERIFY(m_window->currentUrl.isEmpty());
        QCOMPARE(login()->labelMessage->text(), m_window->textTable->ConnectFailed);
        QVERIFY(login()->buttonContinue->isEnabled());
    }
}

void TestLoginUI::continueInNewServerMode()
{
    open({});
    QTest::keyClicks(login()->editAddress, QStringLiteral("portal.example"));
    // Without an alias nothing visible happens: the inputs are disabled and at once enabled again.
    click(login()->buttonContinue);
    QVERIFY(login()->buttonContinue->isEnabled());
    QVERIFY(login()->labelMessage->text().isEmpty());
    QVERIFY(m_window->currentUrl.isEmpty());

    QTest::keyClicks(login()->editAlias, QStringLiteral("Portal"));
    click(login()->buttonContinue);
    QCOMPARE(m_window->currentName, QStringLiteral("Portal"));
    QCOMPARE(m_window->currentUrl, QStringLiteral("https://portal.example"));
    QCOMPARE(login()->labelMessage->text(), QStringLiteral("loading..."));

    // A scheme typed by the user is prefixed a second time.
    login()->setInputEnabled(true);
    login()->editAddress->setText(QStringLiteral("http://x.example"));
    click(login()->buttonContinue);
    QCOMPARE(m_window->currentUrl, QStringLiteral("https://http://x.example"));
}

void TestLoginUI::continueInBrowserModeDoesNothing()
{
    open({Office});
    login()->setBrowserMode(true);
    QMetaObject::invokeMethod(login(), "slot_buttonContinue");
    QVERIFY(m_window->currentUrl.isEmpty());
    QVERIFY(login()->buttonContinue->isEnabled());
}

void TestLoginUI::enterInAFieldDoesNothing()
{
    open({});
    QTest::keyClicks(login()->editAddress, QStringLiteral("portal.example"));
    QTest::keyClicks(login()->editAlias, QStringLiteral("Portal"));
    QTest::keyClick(login()->editAlias, Qt::Key_Return);
    QTest::keyClick(login()->editAddress, Qt::Key_Enter);
    QVERIFY(m_window->currentUrl.isEmpty());
    QVERIFY(login()->labelMessage->text().isEmpty());
}

void TestLoginUI::firstLoginSavesTheServer()
{
    open({Office});
    QVERIFY(!QFile::exists(serverFile()) || savedOnDisk().size() == 1);
    login()->checkDefault->setChecked(false);
    login()->addServer(Home.name, Home.url);
    expectInStep({Office, Home});
    QVERIFY(!m_window->serverList.last().isDefault);

    login()->checkDefault->setChecked(true);
    login()->addServer(Lab.name, Lab.url);
    expectInStep({Office, Home, Lab});
    const QVector<ServerEntry> disk = savedOnDisk();
    QCOMPARE(disk[0].isDefault, false);
    QCOMPARE(disk[1].isDefault, false);
    QCOMPARE(disk[2].isDefault, true);
    // The combo box keeps what the user had selected.
    QCOMPARE(login()->comboServer->currentText(), Office.displayText());
}

void TestLoginUI::repeatedAddressChangesNothing()
{
    open({Office, Lab});
    const QByteArray before = [] {
        QFile file(serverFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    login()->checkDefault->setChecked(true);
    login()->addServer(QStringLiteral("Another alias"), Office.url);
    expectInStep({Office, Lab});
    QCOMPARE(m_window->serverList[0].isDefault, false);
    QFile file(serverFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestLoginUI::clickingARowSelectsIt()
{
    open({Office, Lab, Home});
    login()->comboServer->showPopup();
    QTRY_VERIFY(login()->listWidget->isVisible());
    // Rows are laid out only once the popup shows them; then every label holds its whole text.
    for (int index = 0; index < 3; ++index) {
        const QLabel* label = row(index)->labelText;
        QTRY_VERIFY(label->isVisible() && label->width() >= label->sizeHint().width());
        QVERIFY(row(index)->rect().contains(label->geometry()));
    }
    click(row(1)->labelText);
    QCOMPARE(login()->comboServer->currentText(), Lab.displayText());
    QVERIFY(login()->checkDefault->isChecked());
    QVERIFY(serverActions()[1]->isChecked());
    QTRY_VERIFY(!login()->listWidget->isVisible());

    login()->comboServer->showPopup();
    QTRY_VERIFY(login()->listWidget->isVisible());
    click(row(0));
    QCOMPARE(login()->comboServer->currentText(), Office.displayText());
    QVERIFY(!login()->checkDefault->isChecked());
    QVERIFY(serverActions()[0]->isChecked() && !serverActions()[1]->isChecked());
}

void TestLoginUI::aliasAndAddressAreShownAsText()
{
    // As markup, the row would read the file the image names.
    const ServerEntry hostile {QStringLiteral(R"(9.0.0<img src="/dev/zero">)"), Office.url, true};
    open({hostile});
    const QString display = hostile.displayText();
    QCOMPARE(row(0)->labelText->textFormat(), Qt::PlainText);
    QCOMPARE(row(0)->labelText->text(), display);
    QCOMPARE(shownToolTip(row(0)), display);
    QCOMPARE(login()->comboServer->currentText(), display);
    QCOMPARE(shownToolTip(login()->comboServer), display);
}

void TestLoginUI::deletingTheSelectedServer()
{
    open({Office, Lab, Home});
    login()->slot_comboBoxNameChanged(Lab.displayText());
    deleteRow(1);
    expectInStep({Office, Home});
    // The last remaining server becomes the selection, with its flag in the box.
    QCOMPARE(login()->comboServer->currentText(), Home.displayText());
    QCOMPARE(shownToolTip(login()->comboServer), Home.displayText());
    QVERIFY(!login()->checkDefault->isChecked());
    QVERIFY(serverActions()[1]->isChecked());
}

void TestLoginUI::deletingAnUnselectedServer()
{
    open({Office, Lab, Home});
    QCOMPARE(login()->comboServer->currentText(), Lab.displayText());
    deleteRow(0);
    expectInStep({Lab, Home});
    QCOMPARE(login()->comboServer->currentText(), Lab.displayText());
}

void TestLoginUI::deletingTheLastServer()
{
    open({Lab});
    deleteRow(0);
    expectInStep({});
    QCOMPARE(login()->comboServer->currentText(), QString());
    // The face stays, and so does the box.
    QVERIFY(login()->comboServer->isVisible());
    QVERIFY(login()->checkDefault->isChecked());
}

void TestLoginUI::deletingOneOfTwoSameAddresses()
{
    // Only a hand-edited file holds an address twice.
    const ServerEntry first {QStringLiteral("First"), Office.url, false};
    const ServerEntry second {QStringLiteral("Second"), Office.url, false};
    open({first, Home, second});
    // The certificate trusted for the address goes with the last server that names its host.
    QVERIFY(m_window->portal->certificateTrust().pin(QUrl(Office.url), QByteArrayLiteral("leaf")));
    const auto pinnedOnDisk = [] {
        return !CertificateTrust(DataDirectory::path()).pinned(QUrl(Office.url)).isEmpty();
    };
    deleteRow(2);
    expectInStep({first, Home});
    QVERIFY(pinnedOnDisk());
    deleteRow(0);
    expectInStep({Home});
    QVERIFY(!pinnedOnDisk());
}

void TestLoginUI::staleRowIsNotRemoved()
{
    open({Office, Home});
    m_window->serverList.removeFirst();
    login()->comboServer->showPopup();
    QTRY_VERIFY(login()->listWidget->isVisible());
    click(row(0)->findChild<ButtonDelete*>());
    QCOMPARE(rowTexts(), (QStringList {Office.displayText(), Home.displayText()}));
    QCOMPARE(serverActions().size(), 2);
}

void TestLoginUI::wheelNeverChangesTheSelection()
{
    open({Office, Lab, Home});
    CCombox* combo = login()->comboServer;
    const QString before = combo->currentText();
    const QPoint centre = combo->rect().center();
    for (const int delta : {120, -120, -360}) {
        QWheelEvent wheel(centre,
                          combo->mapToGlobal(centre),
                          QPoint(),
                          QPoint(0, delta),
                          Qt::NoButton,
                          Qt::NoModifier,
                          Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(combo, &wheel);
    }
    QCOMPARE(combo->currentText(), before);
}

void TestLoginUI::defaultBoxMarksEveryContainedAddress()
{
    const ServerEntry host {QStringLiteral("Host"), QStringLiteral("https://files.example"), false};
    const ServerEntry path {QStringLiteral("Team"), QStringLiteral("https://files.example/team"), false};
    open({host, path, Home});
    login()->slot_comboBoxNameChanged(path.displayText());
    click(login()->checkDefault);
    QVERIFY(login()->checkDefault->isChecked());
    QVector<ServerEntry> disk = savedOnDisk();
    QCOMPARE(disk[0].isDefault, true);
    QCOMPARE(disk[1].isDefault, true);
    QCOMPARE(disk[2].isDefault, false);

    click(login()->checkDefault);
    disk = savedOnDisk();
    QVERIFY(!disk[0].isDefault && !disk[1].isDefault && !disk[2].isDefault);
}

void TestLoginUI::defaultBoxInNewServerModeKeepsTheFile()
{
    open({Office});
    QFile::remove(serverFile());
    click(login()->buttonNewServer);
    click(login()->checkDefault);
    QVERIFY(login()->checkDefault->isChecked());
    QVERIFY(!QFile::exists(serverFile()));
}

void TestLoginUI::linksEndAtTheSameEdgeInBothLanguages()
{
    for (const int language : {0, 1}) {
        open({Office}, language);
        for (QPushButton* link : {login()->buttonNewServer, login()->buttonSelectServer}) {
            QCOMPARE(link->geometry().x() + link->geometry().width(), 400);
            QVERIFY(link->text().endsWith(QStringLiteral(" >>")));
            // Reached by Tab only: a click never takes the focus from the field being typed in.
            QCOMPARE(link->focusPolicy(), Qt::TabFocus);
        }
        QCOMPARE(login()->buttonNewServer->y(), 410);
        QCOMPARE(login()->buttonSelectServer->y(), 482);
        QCOMPARE(login()->labelLogo->styleSheet().contains(QStringLiteral("_cn.png")), language == 1);
        cleanup();
    }
}

void TestLoginUI::browserNoticeLayoutFollowsTheLanguage()
{
    open({}, 0);
    QVERIFY(login()->labelBrowserMode->wordWrap());
    QCOMPARE(login()->labelBrowserMode->geometry(), QRect(20, 155, 460, 64));
    QCOMPARE(login()->buttonExitBrowserMode->pos(), QPoint(240, 181));
    QVERIFY(login()->buttonExitBrowserMode->font().underline());

    m_window->slot_switch_language(1);
    QVERIFY(!login()->labelBrowserMode->wordWrap());
    const int textWidth =
        QFontMetrics(login()->labelBrowserMode->font()).horizontalAdvance(login()->labelBrowserMode->text());
    QCOMPARE(login()->labelBrowserMode->x(), (500 - textWidth) / 2);
    const QPushButton* link = login()->buttonExitBrowserMode;
    QCOMPARE(link->x(), (500 - link->width()) / 2);
    QCOMPARE(link->y(), 195);
    QCOMPARE(link->text(), QStringLiteral("请按这里"));
}

void TestLoginUI::languageChangeTurnsANoticeIntoTheFailure()
{
    open({Office});
    click(login()->buttonContinue);
    QCOMPARE(login()->labelMessage->text(), QStringLiteral("loading..."));
    m_window->slot_switch_language(1);
    QCOMPARE(login()->labelMessage->text(), m_window->textTable->ConnectFailed);
    login()->clearMessage();
    m_window->slot_switch_language(0);
    QVERIFY(login()->labelMessage->text().isEmpty());
}

void TestLoginUI::closingWithMinimiseToTrayOnOnlyHides()
{
    open({Office});
    m_window->miniTray = true;
    QVERIFY(login()->close());
    QVERIFY(login()->isHidden());
    QVERIFY(serverActions().size() == 1);
}

NORV_TEST_MAIN(TestLoginUI)
#include "tst_loginui.moc"
