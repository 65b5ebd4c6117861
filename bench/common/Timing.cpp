#include "Timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

namespace {
// A language change travels in two hops (the application, then each window), so one
// pass over the posted events would leave the second hop behind.
const int SettlePasses = 2;
} // namespace

namespace Timing {
void settle()
{
    for (int pass = 0; pass < SettlePasses; ++pass) {
        QCoreApplication::sendPostedEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

double microseconds(const std::function<void()>& step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    settle();
    return double(timer.nsecsElapsed()) / 1000.0;
}

void waitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const QString& name, double value)
{
    QTextStream(stdout) << name << ' ' << QString::number(value, 'f', 1) << Qt::endl;
}
} // namespace Timing
