#ifndef NOFOCUSRECTSTYLE_H
#define NOFOCUSRECTSTYLE_H

#include <QProxyStyle>

// Keeps the dotted focus frame off the rows of the saved-server popup.
//
// QProxyStyle takes ownership of a style handed to it and makes itself that style's
// proxy, which would reroute every widget's drawing through this class and delete the
// application's style with it. So it wraps its own instance of the application's style.
class NoFocusRectStyle : public QProxyStyle
{
public:
    // A proxy over a fresh instance of the same kind of style as model.
    explicit NoFocusRectStyle(const QStyle* model);

    void drawPrimitive(PrimitiveElement element,
                       const QStyleOption* option,
                       QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

#endif // NOFOCUSRECTSTYLE_H
