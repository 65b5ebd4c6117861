#include "app/CMainWindow.h"
#include "app/DialogPlacement.h"
#include "app/Product.h"
#include "common/ShellFixture.h"
#include "common/TestEnvironment.h"
#include "config/SettingsFile.h"
#include "core/TesselCore.h"
#include "dialogs/CAboutUI.h"
#include "dialogs/CMachineCodeUI.h"
#include "dialogs/CSetting.h"
#include "dialogs/CSwitchModeUI.h"
#include "dialogs/CTipUI.h"
#include "i18n/CTextTable.h"
#include "login/CLoginUI.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <functional>

namespace {
// Runs check on the modal dialog once its exec() has started, then lets the test go on.
void whileModal(const std::function<void(QWidget*)>& check)
{
    QTimer::singleShot(0, [check] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        check(dialog);
        if (dialog->isVisible()) {
            dialog->close();
        }
    });
}

QPushButton* buttonWithText(const QWidget* dialog, const QString& text)
{
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// The frameless dialogs' close button: the only one without text, in the top-right corner.
QPushButton* closeButton(const QWidget* dialog)
{
    return buttonWithText(dialog, QString());
}

QStringList labelTexts(const QWidget* dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

QString autostartEntry()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/tst_dialogs.desktop");
}
} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void tipFrameTitleFollowsTheLanguage();
    void aboutTextsAndLogButton();
    void settingsSizeFollowsTheLanguage();
    void switchModeTexts();
    void openDialogKeepsItsTexts();
    void dialogsOpenOverTheSelectionWindow_data();
    void dialogsOpenOverTheSelectionWindow();
    void copyPutsTheCodeOnTheClipboard();
    void closeLeavesTheClipboardAlone();
    void codeContextMenuCopies();
    void settingsOkWithoutChangesWritesNothing();
    void settingsAutoStartRewritesTheEntry();
    void settingsMiniTrayWritesOnlyTheSettings();
    void settingsCloseDiscards();
    void modeSwitchOkLeavesPortalThenBrowserModeThenCloses();
    void modeSwitchCancelChangesNothing();

private:
    CMainWindow* m_window = nullptr;
};

void TestDialogs::initTestCase()
{
    m_window = ShellFixture::start();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->loginUI));
}

void TestDialogs::cleanupTestCase()
{
    ShellFixture::stop(m_window);
}

void TestDialogs::init()
{
    m_window->slot_switch_language(0);
}

void TestDialogs::tipFrameTitleFollowsTheLanguage()
{
    CTipUI english;
    QVERIFY(labelTexts(&english).contains(QStringLiteral("Tips")));
    QCOMPARE(english.size(), QSize(310, 170));
    QCOMPARE(english.windowFlags(), Qt::Window | Qt::FramelessWindowHint);
    QCOMPARE(closeButton(&english)->geometry(), QRect(280, 8, 18, 18));
    m_window->slot_switch_language(1);
    CTipUI chinese;
    QVERIFY(labelTexts(&chinese).contains(QStringLiteral("提示")));
}

void TestDialogs::aboutTextsAndLogButton()
{
    for (const int language : {0, 1}) {
        m_window->slot_switch_language(language);
        CAboutUI about;
        const CTextTable* texts = m_window->textTable;
        QVERIFY(labelTexts(&about).contains(texts->About));
        QVERIFY(labelTexts(&about).contains(texts->Version + QLatin1Char(':') + QLatin1String(ClientVersion)));
        QPushButton* log = buttonWithText(&about, texts->TransferLog);
        QVERIFY(log);
        const int textWidth = QFontMetrics(log->font()).horizontalAdvance(log->text());
        QCOMPARE(log->geometry(), QRect((318 - textWidth) / 2, 246, textWidth + 12, 23));
        QCOMPARE(about.size(), QSize(330, 414));
    }
    QCOMPARE(m_window->textTable->TransferLog, QStringLiteral("传输日志"));
}

void TestDialogs::settingsSizeFollowsTheLanguage()
{
    struct Expected
    {
        int language;
        int width;
        QString autoStart;
    };
    for (const Expected& expected : {Expected {0, 370, QStringLiteral("Start up automatically when system starts")},
                                     Expected {1, 310, QStringLiteral("开机自动启动")}}) {
        m_window->slot_switch_language(expected.language);
        CSetting setting;
        QCOMPARE(setting.size(), QSize(expected.width, 170));
        QCOMPARE(buttonWithText(&setting, m_window->textTable->OK)->x(), expected.width - 98);
        QCOMPARE(closeButton(&setting)->x(), expected.width - 26);
        QCOMPARE(setting.autoStartBox->text(), expected.autoStart);
        // The option's text must fit inside the dialog.
        const QCheckBox* box = setting.miniTrayBox;
        const int needed = box->x() + box->sizeHint().width();
        QVERIFY2(needed <= setting.width(), qPrintable(QString::number(needed)));
    }
}

void TestDialogs::switchModeTexts()
{
    CSwitchModeUI english;
    QVERIFY(labelTexts(&english).contains(QStringLiteral(
        "Click OK will stop active transmission tasks on the browser, and switch to client app login. Continue?")));
    QVERIFY(buttonWithText(&english, QStringLiteral("Cancel")) && buttonWithText(&english, QStringLiteral("OK")));
    // The English message wraps inside its label without running into the buttons.
    for (QLabel* label : english.findChildren<QLabel*>()) {
        if (label->wordWrap()) {
            QVERIFY(label->heightForWidth(label->width()) <= label->height());
            QCOMPARE(label->geometry(), QRect(26, 46, 253, 80));
        }
    }
    m_window->slot_switch_language(1);
    CSwitchModeUI chinese;
    QVERIFY(
        labelTexts(&chinese).contains(QStringLiteral("退出将停止浏览器上的传输任务并切换到客户端登录，确定退出？")));
    QVERIFY(buttonWithText(&chinese, QStringLiteral("取消")) && buttonWithText(&chinese, QStringLiteral("确定")));
}

void TestDialogs::openDialogKeepsItsTexts()
{
    whileModal([this](QWidget* dialog) {
        // The core reports a language change from its own thread while the dialog is open.
        m_window->core->notifyLanguageChanged(1);
        QTRY_COMPARE(m_window->language, 1);
        QVERIFY(labelTexts(dialog).contains(QStringLiteral("Tips")));
        QVERIFY(buttonWithText(dialog, QStringLiteral("Copy")));
    });
    m_window->slot_machineCode();
    CMachineCodeUI next;
    QVERIFY(buttonWithText(&next, QStringLiteral("复制")));
}

void TestDialogs::dialogsOpenOverTheSelectionWindow_data()
{
    QTest::addColumn<QString>("slot");
    QTest::newRow("about") << "slot_aboutUI";
    QTest::newRow("settings") << "slot_settingUI";
    QTest::newRow("device code") << "slot_machineCode";
}

void TestDialogs::dialogsOpenOverTheSelectionWindow()
{
    QFETCH(QString, slot);
    QVERIFY(m_window->isHidden());
    m_window->loginUI->move(150, 90);
    QPoint position;
    QSize size;
    whileModal([&](QWidget* dialog) {
        position = dialog->pos();
        size = dialog->size();
    });
    QMetaObject::invokeMethod(m_window, slot.toLatin1().constData());
    QVERIFY(!size.isEmpty());
    QCOMPARE(position, DialogPlacement::position(m_window->loginUI->geometry(), size));
}

void TestDialogs::copyPutsTheCodeOnTheClipboard()
{
    QApplication::clipboard()->setText(QStringLiteral("before"));
    CMachineCodeUI dialog;
    dialog.show();
    QCOMPARE(dialog.codeLabel->text(), m_window->core->Get_Deviceuuid());
    QTest::mouseClick(buttonWithText(&dialog, QStringLiteral("Copy")), Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), m_window->core->Get_Deviceuuid());
    QVERIFY(dialog.isHidden());
}

void TestDialogs::closeLeavesTheClipboardAlone()
{
    QApplication::clipboard()->setText(QStringLiteral("before"));
    CMachineCodeUI dialog;
    dialog.show();
    QTest::mouseClick(closeButton(&dialog), Qt::LeftButton);
    QVERIFY(dialog.isHidden());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
}

void TestDialogs::codeContextMenuCopies()
{
    QApplication::clipboard()->setText(QStringLiteral("before"));
    CMachineCodeUI dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("Copy"));
        menu->actions().first()->trigger();
        menu->close();
    });
    emit dialog.codeLabel->customContextMenuRequested(QPoint(5, 5));
    QCOMPARE(QApplication::clipboard()->text(), m_window->core->Get_Deviceuuid());
    QVERIFY(dialog.isVisible());
}

void TestDialogs::settingsOkWithoutChangesWritesNothing()
{
    QFile::remove(SettingsFile::path());
    QFile::remove(autostartEntry());
    CSetting setting;
    setting.show();
    QTest::mouseClick(buttonWithText(&setting, QStringLiteral("OK")), Qt::LeftButton);
    QVERIFY(setting.isHidden());
    QVERIFY(!QFile::exists(SettingsFile::path()));
    QVERIFY(!QFile::exists(autostartEntry()));
}

void TestDialogs::settingsAutoStartRewritesTheEntry()
{
    m_window->autoStart = true;
    m_window->applyAutoStart();
    QVERIFY(QFile::exists(autostartEntry()));
    CSetting setting;
    setting.show();
    QTest::mouseClick(setting.autoStartBox, Qt::LeftButton);
    QTest::mouseClick(buttonWithText(&setting, QStringLiteral("OK")), Qt::LeftButton);
    QCOMPARE(m_window->autoStart, false);
    QVERIFY(!QFile::exists(autostartEntry()));
    QCOMPARE(SettingsFile::read().autoStart, false);

    CSetting again;
    QVERIFY(!again.autoStartBox->isChecked());
    again.autoStartBox->setChecked(true);
    again.slot_ButtonOK();
    QVERIFY(QFile::exists(autostartEntry()));
    QCOMPARE(SettingsFile::read().autoStart, true);
}

void TestDialogs::settingsMiniTrayWritesOnlyTheSettings()
{
    m_window->miniTray = true;
    QFile::remove(autostartEntry());
    QFile::remove(SettingsFile::path());
    CSetting setting;
    setting.miniTrayBox->setChecked(false);
    setting.slot_ButtonOK();
    QCOMPARE(m_window->miniTray, false);
    QCOMPARE(SettingsFile::read().miniTray, false);
    QVERIFY(!QFile::exists(autostartEntry()));
    m_window->miniTray = true;
}

void TestDialogs::settingsCloseDiscards()
{
    const bool before = m_window->miniTray;
    CSetting setting;
    setting.show();
    QTest::mouseClick(setting.miniTrayBox, Qt::LeftButton);
    QTest::mouseClick(closeButton(&setting), Qt::LeftButton);
    QCOMPARE(m_window->miniTray, before);
    CSetting again;
    QCOMPARE(again.miniTrayBox->isChecked(), before);
}

void TestDialogs::modeSwitchOkLeavesPortalThenBrowserModeThenCloses()
{
    CLoginUI* login = m_window->loginUI;
    login->setBrowserMode(true);
    login->hide();
    m_window->actExitServer->setVisible(true);
    m_window->inPortal = true;

    // When the selection window comes back, the portal has been left but browser mode is still on.
    bool browserModeWhenShown = false;
    bool dialogOpenWhenShown = false;
    CSwitchModeUI dialog;
    dialog.show();
    struct ShowWatcher : QObject
    {
        std::function<void()> onShow;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Show) {
                onShow();
            }
            return false;
        }
    } watcher;
    watcher.onShow = [&] {
        browserModeWhenShown = CLoginUI::browserModeOn();
        dialogOpenWhenShown = dialog.isVisible();
    };
    login->installEventFilter(&watcher);
    QTest::mouseClick(buttonWithText(&dialog, QStringLiteral("OK")), Qt::LeftButton);
    login->removeEventFilter(&watcher);

    QVERIFY(browserModeWhenShown);
    QVERIFY(dialogOpenWhenShown);
    QVERIFY(!CLoginUI::browserModeOn());
    QVERIFY(!m_window->inPortal && !m_window->actExitServer->isVisible());
    QVERIFY(login->isVisible() && login->labelBrowserMode->isHidden());
    QVERIFY(dialog.isHidden());
}

void TestDialogs::modeSwitchCancelChangesNothing()
{
    CLoginUI* login = m_window->loginUI;
    login->setBrowserMode(true);
    for (const bool useCancel : {true, false}) {
        CSwitchModeUI dialog;
        dialog.show();
        QTest::mouseClick(useCancel ? buttonWithText(&dialog, QStringLiteral("Cancel")) : closeButton(&dialog),
                          Qt::LeftButton);
        QVERIFY(dialog.isHidden());
        QVERIFY(CLoginUI::browserModeOn());
    }
    login->setBrowserMode(false);
}

NORV_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
