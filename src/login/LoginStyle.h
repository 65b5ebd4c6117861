#ifndef LOGINSTYLE_H
#define LOGINSTYLE_H

#include <QString>

// The look of the server selection window: the style sheets of its parts and the pixel sizes of its fonts.
namespace LoginStyle {
const QString Message = QStringLiteral("color: rgba(51, 51, 51, 1);font-size: 12px;text-align: center;");
const QString Title = QStringLiteral("color: rgba(16, 16, 16, 1);font-size: 14px;text-align: center;");
const QString Combo = QStringLiteral(
    "QComboBox{padding-left:15px;border-radius: 4px;border: 1px solid rgba(221, 221, 221, 1);font-size:12px;"
    "background-color:#F0F0F0}QComboBox::drop-down {width: 50px;height:36px;top:0px;bottom:0px;padding-left:10px;"
    "padding-right:10px;padding-top:0px;padding-bottom:0px;image: url(:/resource/image/drop-down.png);}"
    "QAbstractItemView::item {height: 30px;}QListView::item {background: white;}QListView::item:hover {background: "
    "#fff;}");
const QString List = QStringLiteral("QListWidget{}QListWidget::item:hover{background-color:#007BC5}");
const QString Edit =
    QStringLiteral("padding-left:15px;border:1px solid rgba(221, 221, 221, 1);border-radius:4px;font-size:12px");
const QString Check = QStringLiteral(
    "QCheckBox{spacing:8px;color:rgba(51,51,51,1);font-size:12px;margin-left:2}QCheckBox::indicator::checked{image:"
    "url(:/resource/image/check.png)}QCheckBox::indicator::unchecked{image:url(:/resource/image/uncheck.png)}");
const QString Continue = QStringLiteral(
    "left: 540px;top: 688px;width: 150px;height: 50px;line-height: 26px;border-radius: 4px;background-color: rgba(0, "
    "123, 197, 1);color: rgba(255, 255, 255, 1);font-size: 16px;text-align: center;");
const QString Link = QStringLiteral("color: rgba(0,123,197,1);border:0px solid #fff;text-align : right");
const QString BrowserMode = QStringLiteral("font-size: 16px;border:0px;");
const QString ExitBrowserMode = QStringLiteral("color: rgba(0, 123, 197, 1);font-size: 16px;border:0px;");
const QString EnglishBanner = QStringLiteral("border-image:url(:/resource/image/norv_login_en.png)");
const QString ChineseBanner = QStringLiteral("border-image:url(:/resource/image/norv_login_cn.png)");
const int BrowserModePixelSize = 16;
const int SchemePixelSize = 12;
} // namespace LoginStyle

#endif // LOGINSTYLE_H
