#include "CProxyLoginUI.h"

#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// The tip frame, taller by the two fields.
const QSize DialogSize(310, 236);
const QString MessageStyle = QStringLiteral("color: rgba(51, 51, 51, 1);font-size: 14px");
const QString EditStyle =
    QStringLiteral("border: 1px solid rgba(204, 204, 204, 1);border-radius: 2px;padding-left: 6px;font-size: 14px");
const QString ButtonStyle =
    QStringLiteral("border-radius: 2px;background-color: rgba(0, 123, 197, 1);color: rgba(255, 255, 255, 1);font-size: "
                   "12px;border: 1px solid rgba(255, 255, 255, 0);");
} // namespace

CProxyLoginUI::CProxyLoginUI(const QString& proxyHost, const QString& user, QWidget* parent)
    : CTipUI(parent)
{
    setFixedSize(DialogSize);
    const CTextTable* texts = mainWindowInstance->textTable;
    setWindowTitle(texts->ProxyLogin);
    auto* message = new QLabel(this);
    userEdit = new QLineEdit(this);
    passwordEdit = new QLineEdit(this);
    auto* cancelButton = new QPushButton(this);
    auto* okButton = new QPushButton(this);

    // The proxy's name is the network's, not ours: never read as markup.
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setText(texts->ProxyAsksForLogin.arg(proxyHost));
    setAccessibleDescription(message->text());
    userEdit->setPlaceholderText(texts->ProxyUser);
    userEdit->setAccessibleName(texts->ProxyUser);
    userEdit->setText(user);
    passwordEdit->setPlaceholderText(texts->ProxyPassword);
    passwordEdit->setAccessibleName(texts->ProxyPassword);
    passwordEdit->setEchoMode(QLineEdit::Password);
    cancelButton->setText(texts->Cancel);
    okButton->setText(texts->OK);

    message->setGeometry(26, 50, 258, 44);
    userEdit->setGeometry(26, 100, 258, 30);
    passwordEdit->setGeometry(26, 140, 258, 30);
    cancelButton->setGeometry(124, 188, 68, 30);
    okButton->setGeometry(212, 188, 68, 30);
    message->setStyleSheet(MessageStyle);
    for (QLineEdit* edit : {userEdit, passwordEdit}) {
        edit->setStyleSheet(EditStyle);
    }
    for (QPushButton* button : {cancelButton, okButton}) {
        button->setStyleSheet(ButtonStyle);
        button->setCursor(Qt::PointingHandCursor);
    }
    okButton->setDefault(true);
    (user.isEmpty() ? userEdit : passwordEdit)->setFocus();
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

QString CProxyLoginUI::user() const
{
    return userEdit->text();
}

QString CProxyLoginUI::password() const
{
    return passwordEdit->text();
}
