#ifndef APPLICATIONATTRIBUTES_H
#define APPLICATIONATTRIBUTES_H

#include <QCoreApplication>

// What Qt must be told before the application object exists. The client, the tests, the
// tools and the benchmarks all call it, so they all draw the windows the same way.
namespace ApplicationAttributes {
inline void apply()
{
    // Qt WebEngine shares its GL contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The windows have fixed sizes in pixels: on a 200 % screen they would be half as tall as
    // meant. Qt scales them by the screen's announced dpi and picks the @2x images there.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // On Linux Qt WebEngine keeps the page's accessible tree from screen readers unless told
    // otherwise; the engine builds that tree only once an assistive technology asks for it.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY")) {
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    }
}
} // namespace ApplicationAttributes

#endif // APPLICATIONATTRIBUTES_H
