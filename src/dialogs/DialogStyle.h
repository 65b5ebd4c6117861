#ifndef DIALOGSTYLE_H
#define DIALOGSTYLE_H

#include <QString>

// Looks shared by the small dialogs.
namespace DialogStyle {
// The close button of a frameless dialog: red under the mouse, light red while pressed.
const QString CloseButton =
    QStringLiteral("QPushButton{border-image:url(:/resource/image/close.png)}QPushButton:hover{background-color:#"
                   "E81123}QPushButton:pressed{background-color:#F1707A}");
const QString PrimaryButton = QStringLiteral(
    "left: 1257px;top: 373px;width: 68px;height: 32px;line-height: 17px;border-radius: 2px;background-color: "
    "rgba(33, 150, 243, 1);color: rgba(255, 255, 255, 1);font-size: 12px;text-align: center;border: 1px solid "
    "rgba(255, 255, 255, 0);");
// A white panel with a thin grey border, selected by the dialog's own object name.
inline QString panel(const QString& objectName)
{
    return QStringLiteral("QWidget#%1{background-color:#fff;border:1px solid #ccc}").arg(objectName);
}
} // namespace DialogStyle

#endif // DIALOGSTYLE_H
