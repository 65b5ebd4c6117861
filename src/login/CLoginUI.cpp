#include "CLoginUI.h"

#include "CCombox.h"
#include "ItemWidgetFile.h"
#include "LoginStyle.h"
#include "NoFocusRectStyle.h"
#include "app/CMainWindow.h"
#include "app/DialogPlacement.h"
#include "app/Product.h"
#include "dialogs/CSwitchModeUI.h"
#include "i18n/AccessibleTexts.h"
#include "i18n/CTextTable.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

namespace {
bool browserModeFlag = false;

const QSize WindowSize(500, 593);
const QString Scheme = QStringLiteral("https://");
const QString LinkSuffix = QStringLiteral(" >>");
// The two links end at this x, whatever the length of their text.
const int LinkRightEdge = 388;
const int LinkPadding = 12;
const int NewServerLinkY = 410;
const int SelectServerLinkY = 482;
const int LinkHeight = 26;
const int BrowserTextY = 155;
const int BrowserTextHeight = 64;
const int BrowserTextMargin = 20;
const QPoint EnglishExitLink(240, 181);
const int CentredExitLinkY = 195;
const int ExitLinkHeight = 32;
// The links and the saved-server box are reached by Tab only: a click must not move the focus
// away from the field being typed in.
const Qt::FocusPolicy KeyboardOnly = Qt::TabFocus;

int textWidth(const QWidget* widget, const QString& text)
{
    return QFontMetrics(widget->font()).horizontalAdvance(text);
}

QFont withPixelSize(QFont font, int pixelSize)
{
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

CLoginUI::CLoginUI(QWidget* parent)
    : QMainWindow(parent)
    , serverRows(this)
{
    setFixedSize(WindowSize);
    QPalette white = palette();
    white.setBrush(QPalette::All, QPalette::Window, Qt::white);
    setPalette(white);
    setWindowTitle(QString::fromUtf8(ProductName));
    setWindowFlags(Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("login"));

    createChildren();
    applyStyles();

    connect(buttonContinue, &QPushButton::clicked, this, &CLoginUI::slot_buttonContinue);
    connect(checkDefault, &QCheckBox::clicked, this, &CLoginUI::slot_checkbox_auto_connect);
    connect(buttonExitBrowserMode, &QPushButton::clicked, this, &CLoginUI::slot_exitBrowserModel);
    connect(buttonNewServer, &QPushButton::clicked, this, &CLoginUI::slot_switch_new_server);
    connect(buttonSelectServer, &QPushButton::clicked, this, &CLoginUI::slot_switch_select_server);

    applyGeometry();
    for (QPushButton* button : {buttonNewServer, buttonSelectServer, buttonContinue, buttonExitBrowserMode}) {
        button->setCursor(Qt::PointingHandCursor);
        // Return activates the focused button, as Space does.
        button->setAutoDefault(true);
    }
    setUpKeyboard();
}

void CLoginUI::setUpKeyboard()
{
    labelAlias->setBuddy(editAlias);
    QWidget::setTabOrder(editAddress, editAlias);
    QWidget::setTabOrder(editAlias, checkDefault);
    QWidget::setTabOrder(checkDefault, buttonContinue);
    QWidget::setTabOrder(buttonContinue, buttonNewServer);
    QWidget::setTabOrder(buttonNewServer, buttonSelectServer);
    QWidget::setTabOrder(buttonSelectServer, comboServer);
    QWidget::setTabOrder(comboServer, buttonExitBrowserMode);
    // Return in the box means Continue, never "add the typed text as a row".
    comboServer->setInsertPolicy(QComboBox::NoInsert);
    connect(comboServer, QOverload<int>::of(&QComboBox::activated), this, &CLoginUI::selectRow);
}

void CLoginUI::selectRow(int index)
{
    // The rows carry their text for screen readers only; the box shows it as a click on the row would.
    const QString text = listWidget->model()->index(index, 0).data(Qt::AccessibleTextRole).toString();
    if (!text.isEmpty()) {
        slot_comboBoxNameChanged(text);
    }
}

void CLoginUI::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && buttonContinue->isVisible() && buttonContinue->isEnabled()) {
        buttonContinue->animateClick();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void CLoginUI::createChildren()
{
    labelBrowserMode = new QLabel(this);
    buttonExitBrowserMode = new QPushButton(this);
    comboServer = new CCombox(this);
    editAddress = new QLineEdit(this);
    labelScheme = new QLabel(Scheme);
    editAlias = new QLineEdit(this);
    checkDefault = new QCheckBox(this);
    buttonContinue = new QPushButton(this);
    listWidget = new QListWidget;
    labelAddress = new QLabel(this);
    labelAlias = new QLabel(this);
    labelMessage = new QLabel(this);
    labelLogo = new QLabel(this);
    buttonNewServer = new QPushButton(this);
    buttonSelectServer = new QPushButton(this);
    labelTitle = new QLabel(this);

    // The fixed scheme sits inside the address field; typed text starts right after it.
    labelScheme->setEnabled(false);
    labelScheme->setFont(withPixelSize(labelScheme->font(), LoginStyle::SchemePixelSize));
    auto* schemeLayout = new QHBoxLayout;
    schemeLayout->setContentsMargins(0, 0, 0, 0);
    schemeLayout->setSpacing(0);
    schemeLayout->addWidget(labelScheme);
    editAddress->setLayout(schemeLayout);
    editAddress->setTextMargins(QFontMetrics(labelScheme->font()).horizontalAdvance(Scheme) + 2, 0, 0, 0);

    editAlias->setPlaceholderText(QStringLiteral("eg: xxx server"));

    comboServer->setEditable(true);
    comboServer->setFocusPolicy(KeyboardOnly);
    comboServer->setView(listWidget);
    comboServer->setModel(listWidget->model());
    listWidget->setStyle(new NoFocusRectStyle(QApplication::style()));
    listWidget->style()->setParent(this);
}

void CLoginUI::applyStyles()
{
    labelMessage->setStyleSheet(LoginStyle::Message);
    labelTitle->setStyleSheet(LoginStyle::Title);
    labelAddress->setStyleSheet(LoginStyle::Message);
    comboServer->setStyleSheet(LoginStyle::Combo);
    listWidget->setStyleSheet(LoginStyle::List);
    editAddress->setStyleSheet(LoginStyle::Edit);
    labelAlias->setStyleSheet(LoginStyle::Message);
    editAlias->setStyleSheet(LoginStyle::Edit);
    checkDefault->setStyleSheet(LoginStyle::Check);
    buttonContinue->setStyleSheet(LoginStyle::Continue);
    buttonNewServer->setStyleSheet(LoginStyle::Link);
    buttonSelectServer->setStyleSheet(LoginStyle::Link);
    labelBrowserMode->setStyleSheet(LoginStyle::BrowserMode);
    labelBrowserMode->setFont(withPixelSize(labelBrowserMode->font(), LoginStyle::BrowserModePixelSize));
    buttonExitBrowserMode->setStyleSheet(LoginStyle::ExitBrowserMode);
    QFont linkFont = withPixelSize(buttonExitBrowserMode->font(), LoginStyle::BrowserModePixelSize);
    linkFont.setUnderline(true);
    buttonExitBrowserMode->setFont(linkFont);
}

void CLoginUI::applyGeometry()
{
    labelMessage->setGeometry(0, 29, 500, 16);
    labelLogo->setGeometry(85, 54, 330, 170);
    labelTitle->setGeometry(0, 227, 500, 23);
    labelAddress->setGeometry(102, 260, 300, 23);
    comboServer->setGeometry(100, 283, 300, 36);
    editAddress->setGeometry(100, 283, 300, 36);
    labelAlias->setGeometry(102, 332, 300, 23);
    editAlias->setGeometry(100, 355, 300, 36);
    labelMessage->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    labelTitle->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}

bool CLoginUI::browserModeOn()
{
    return browserModeFlag;
}

void CLoginUI::setNewServerMode(bool on)
{
    comboServer->setVisible(!on);
    buttonNewServer->setVisible(!on);
    buttonSelectServer->setVisible(on);
    editAddress->setVisible(on);
    editAlias->setVisible(on);
    labelAlias->setVisible(on);
    labelAddress->setBuddy(on ? static_cast<QWidget*>(editAddress) : comboServer);
    // The window opens with the focus in the face (the address field, or Continue, which shows
    // no caret), and the link that switched faces hides itself: the keyboard goes on in the new face.
    if (!browserMode) {
        (on ? static_cast<QWidget*>(editAddress) : buttonContinue)->setFocus(Qt::OtherFocusReason);
    }
    if (on) {
        checkDefault->setGeometry(100, 391, 300, 36);
        buttonContinue->setGeometry(100, 427, 300, 36);
    } else {
        checkDefault->setGeometry(100, 319, 300, 36);
        buttonContinue->setGeometry(100, 355, 300, 36);
    }
    if (const CTextTable* texts = mainWindowInstance->textTable) {
        labelTitle->setText(on ? texts->ConnectNewServer : texts->SelectServer);
    }
}

void CLoginUI::setBrowserMode(bool on)
{
    browserModeFlag = on;
    browserMode = on;
    for (QWidget* widget : std::initializer_list<QWidget*> {labelMessage,
                                                            labelLogo,
                                                            labelTitle,
                                                            labelAddress,
                                                            labelAlias,
                                                            editAddress,
                                                            comboServer,
                                                            editAlias,
                                                            checkDefault,
                                                            buttonContinue,
                                                            buttonNewServer,
                                                            buttonSelectServer}) {
        widget->setVisible(!on);
    }
    labelBrowserMode->setVisible(on);
    buttonExitBrowserMode->setVisible(on);
    if (on) {
        // The focus must not stay on a hidden control: the link is all there is to reach.
        buttonExitBrowserMode->setFocus(Qt::OtherFocusReason);
    } else {
        setNewServerMode(mainWindowInstance->serverList.isEmpty());
    }
}

void CLoginUI::setInputEnabled(bool on)
{
    for (QWidget* widget : std::initializer_list<QWidget*> {
             buttonNewServer, buttonSelectServer, buttonContinue, comboServer, editAddress, editAlias}) {
        widget->setEnabled(on);
    }
}

void CLoginUI::showMessage(const QString& text)
{
    labelMessage->setVisible(true);
    labelMessage->setText(text);
    // Said by a screen reader wherever the focus is.
    QAccessibleEvent alert(labelMessage, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void CLoginUI::clearMessage()
{
    labelMessage->setText(QString());
}

void CLoginUI::retranslate()
{
    const CTextTable* texts = mainWindowInstance->textTable;
    if (!texts) {
        return;
    }
    labelLogo->setStyleSheet(mainWindowInstance->language == 0 ? LoginStyle::EnglishBanner : LoginStyle::ChineseBanner);
    // The face, not the window, decides: the window may be hidden behind the portal.
    labelTitle->setText(comboServer->isHidden() ? texts->ConnectNewServer : texts->SelectServer);
    labelAddress->setText(texts->ServerAddress);
    labelAlias->setText(texts->ServerAlias);
    checkDefault->setText(texts->SetDefaultServer);
    buttonContinue->setText(texts->Continue);
    buttonNewServer->setText(texts->ConnectNewServer + LinkSuffix);
    buttonSelectServer->setText(texts->SelectServer + LinkSuffix);
    buttonNewServer->setAccessibleName(texts->ConnectNewServer);
    buttonSelectServer->setAccessibleName(texts->SelectServer);
    comboServer->setAccessibleName(AccessibleTexts::savedServers());
    comboServer->lineEdit()->setAccessibleName(AccessibleTexts::savedServers());
    serverRows.retranslate();
    placeLinks();
    labelBrowserMode->setText(texts->BrowserModel);
    buttonExitBrowserMode->setText(texts->ExitBrowserModel);
    placeBrowserModeTexts();
    if (!labelMessage->text().isEmpty()) {
        labelMessage->setText(texts->ConnectFailed);
    }
    buttonSelectServer->setFocusPolicy(KeyboardOnly);
    buttonNewServer->setFocusPolicy(KeyboardOnly);
}

void CLoginUI::placeLinks()
{
    const int newWidth = textWidth(buttonNewServer, buttonNewServer->text());
    buttonNewServer->setGeometry(LinkRightEdge - newWidth, NewServerLinkY, newWidth + LinkPadding, LinkHeight);
    const int selectWidth = textWidth(buttonSelectServer, buttonSelectServer->text());
    buttonSelectServer->setGeometry(
        LinkRightEdge - selectWidth, SelectServerLinkY, selectWidth + LinkPadding, LinkHeight);
}

void CLoginUI::placeBrowserModeTexts()
{
    const int windowWidth = WindowSize.width();
    const int labelWidth = textWidth(labelBrowserMode, labelBrowserMode->text());
    const int linkWidth = textWidth(buttonExitBrowserMode, buttonExitBrowserMode->text());
    // English wraps into two lines with the link after the first; Chinese fits one centred line.
    if (mainWindowInstance->language == 0) {
        labelBrowserMode->setWordWrap(true);
        labelBrowserMode->setGeometry(
            BrowserTextMargin, BrowserTextY, windowWidth - 2 * BrowserTextMargin, BrowserTextHeight);
        buttonExitBrowserMode->setGeometry(EnglishExitLink.x(), EnglishExitLink.y(), linkWidth, ExitLinkHeight);
    } else {
        labelBrowserMode->setWordWrap(false);
        labelBrowserMode->setGeometry((windowWidth - labelWidth) / 2, BrowserTextY, windowWidth, BrowserTextHeight);
        buttonExitBrowserMode->setGeometry((windowWidth - linkWidth) / 2, CentredExitLinkY, linkWidth, ExitLinkHeight);
    }
}

void CLoginUI::slot_switch_new_server()
{
    setNewServerMode(true);
}

void CLoginUI::slot_switch_select_server()
{
    setNewServerMode(false);
}

void CLoginUI::slot_buttonContinue()
{
    QString name;
    QString url;
    if (!comboServer->isHidden()) {
        // Split "name (url)" on the last parentheses, so a name may hold parentheses itself.
        const QString text = comboServer->currentText();
        const int open = text.lastIndexOf(QLatin1Char('('));
        const int close = text.lastIndexOf(QLatin1Char(')'));
        name = text.mid(0, open - 1);
        url = text.mid(open + 1, close - open - 1);
    } else if (!editAddress->isHidden()) {
        url = labelScheme->text() + editAddress->text();
        name = editAlias->text();
    } else {
        return;
    }
    mainWindowInstance->handle_load(name, url, true);
}

void CLoginUI::slot_exitBrowserModel()
{
    CSwitchModeUI dialog;
    DialogPlacement::place(&dialog, this);
    dialog.exec();
}

void CLoginUI::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void CLoginUI::closeEvent(QCloseEvent*)
{
    if (mainWindowInstance->closingEnds()) {
        mainWindowInstance->handle_exit_application();
    }
}

void CLoginUI::addServerRow(const QString& name, const QString& url)
{
    serverRows.addRow(name, url);
}

void CLoginUI::addServer(const QString& name, const QString& url)
{
    serverRows.addServer(name, url);
}

void CLoginUI::deleteServerOfRow(const ItemWidgetFile* row)
{
    serverRows.deleteServerOfRow(row);
}

void CLoginUI::removeServer(const QString& url, const ItemWidgetFile* row)
{
    serverRows.removeServer(url, row);
}

void CLoginUI::populateServers()
{
    for (const ServerEntry& entry : mainWindowInstance->serverList) {
        addServerRow(entry.name, entry.url);
        if (entry.isDefault) {
            checkDefault->setChecked(true);
            slot_comboBoxNameChanged(entry.displayText());
        }
    }
    if (!checkDefault->isChecked() && !mainWindowInstance->serverList.isEmpty()) {
        slot_comboBoxNameChanged(mainWindowInstance->serverList.last().displayText());
    }
}

void CLoginUI::slot_comboBoxNameChanged(QString s)
{
    comboServer->setCurrentText(s);
    comboServer->setToolTip(SavedServerRows::plainToolTip(s));
    for (QAction* action : SavedServerRows::serverActions()) {
        if (ServerEntry::displayText(action->objectName(), action->toolTip()) == s) {
            action->setChecked(true);
            break;
        }
    }
    for (const ServerEntry& entry : mainWindowInstance->serverList) {
        if (s.contains(entry.url)) {
            checkDefault->setChecked(entry.isDefault);
            break;
        }
    }
    comboServer->hidePopup();
}

void CLoginUI::slot_checkbox_auto_connect(bool isChecked)
{
    // In new-server mode the box only records the choice that a successful login applies.
    if (comboServer->isHidden()) {
        return;
    }
    const QString selected = comboServer->currentText();
    for (ServerEntry& entry : mainWindowInstance->serverList) {
        entry.isDefault = isChecked && selected.contains(entry.url);
    }
    mainWindowInstance->writeServerConfig();
}
