#include "CLoginUI.h"

#include "app/Product.h"

#include <QPalette>

namespace {
const QSize WindowSize(500, 593);
} // namespace

CLoginUI::CLoginUI(QWidget* parent)
    : QMainWindow(parent)
{
    setFixedSize(WindowSize);
    QPalette white = palette();
    white.setBrush(QPalette::All, QPalette::Window, Qt::white);
    setPalette(white);
    setWindowTitle(QString::fromUtf8(ProductName));
    setWindowFlags(Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setObjectName(QStringLiteral("login"));
}

void CLoginUI::setBrowserMode(bool on)
{
    browserMode = on;
}
