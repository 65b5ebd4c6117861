// bench-language: one language switch of the client with a portal loaded. It loads the
// portal at URL the way the client does, lets it settle, then switches the language RUNS
// times, back and forth, after one untimed switch, and writes each as "switch_us
// <microseconds>". Run it with a throwaway profile.
//
//     bench-language URL RUNS
#include "ShellUnderTest.h"
#include "Timing.h"
#include "app/CMainWindow.h"
#include "web/CWebEngineView.h"

#include <QApplication>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>

namespace {
const int LoadTimeoutMs = 30000;
// Long enough for the page to redraw in the new language before the next switch.
const int PauseMs = 300;
const int SettleMs = 2000;

bool loadPortal(CMainWindow* window, const QString& url)
{
    window->handle_load(QStringLiteral("Demo"), url, true);
    if (!window->webView) {
        return false;
    }
    QEventLoop loop;
    QObject::connect(window->webView->page(), &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(LoadTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return window->inPortal;
}

void switchBackAndForth(ShellUnderTest& shell, int runs)
{
    for (int run = 0; run <= runs; ++run) {
        const int other = shell.otherLanguage();
        const double us = Timing::microseconds([&shell, other] { shell.window()->slot_switch_language(other); });
        if (run > 0) {
            Timing::report(QStringLiteral("switch_us"), us);
        }
        Timing::waitMs(PauseMs);
    }
}
} // namespace

int main(int argc, char** argv)
{
    ShellUnderTest::prepareProcess();
    QApplication app(argc, argv);
    ShellUnderTest::configureApplication();
    const QString url = QCoreApplication::arguments().value(1);
    const int runs = QCoreApplication::arguments().value(2).toInt();
    if (url.isEmpty() || runs < 1) {
        QTextStream(stderr) << "usage: bench-language URL RUNS" << Qt::endl;
        return 2;
    }
    // The portal is loaded by hand below, not by the automatic login.
    ShellUnderTest shell;
    if (!loadPortal(shell.window(), url)) {
        QTextStream(stderr) << "bench-language: the portal did not load from " << url << Qt::endl;
        return 1;
    }
    Timing::waitMs(SettleMs);
    switchBackAndForth(shell, runs);
    return 0;
}
