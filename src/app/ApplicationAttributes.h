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
}
} // namespace ApplicationAttributes

#endif // APPLICATIONATTRIBUTES_H
