#include "ApplicationFont.h"
#include "Logging.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace {
const char* const InterfaceFamily = "Microsoft YaHei";
const int InterfacePixelSize = 14;

// Families that render both Latin and simplified Chinese, best first.
const char* const Substitutes[] = {
    "Noto Sans CJK SC",
    "Source Han Sans SC",
    "WenQuanYi Micro Hei",
    "WenQuanYi Zen Hei",
    "Droid Sans Fallback",
};

void registerSubstitutes()
{
    const QString family = QString::fromLatin1(InterfaceFamily);
    const QStringList installed = QFontDatabase().families();
    if (installed.contains(family)) {
        return;
    }
    QStringList available;
    for (const char* substitute : Substitutes) {
        if (installed.contains(QString::fromLatin1(substitute))) {
            available << QString::fromLatin1(substitute);
        }
    }
    if (available.isEmpty()) {
        qCDebug(lcApp) << "ApplicationFont: no Chinese font installed; Chinese text may not render";
        return;
    }
    QFont::insertSubstitutions(family, available);
}
} // namespace

namespace ApplicationFont {
void apply()
{
    registerSubstitutes();
    QFont font;
    font.setFamily(QString::fromLatin1(InterfaceFamily));
    font.setPixelSize(InterfacePixelSize);
    QApplication::setFont(font);
}
} // namespace ApplicationFont
