#include "EngineWarmUp.h"

#include "CMainWindow.h"
#include "Logging.h"
#include "WebAddress.h"
#include "login/CLoginUI.h"

#include <QEvent>
#include <QTimer>
#include <QUrl>
#include <QWindow>

EngineWarmUp::EngineWarmUp(CMainWindow* window)
    : window(window)
{
}

void EngineWarmUp::afterFirstPaint()
{
    if (!window->defaultServer()) {
        return;
    }
    CLoginUI* loginUI = window->loginUI;
    // A selection window about to appear gets its first paint before the engine takes the event loop.
    const QWindow* handle = loginUI->windowHandle();
    if (loginUI->isVisible() && !(handle && handle->isExposed())) {
        loginUI->installEventFilter(this);
        return;
    }
    QTimer::singleShot(0, this, &EngineWarmUp::warmUpDefaultPortal);
}

bool EngineWarmUp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window->loginUI && event->type() == QEvent::Paint) {
        window->loginUI->removeEventFilter(this);
        QTimer::singleShot(0, this, &EngineWarmUp::warmUpDefaultPortal);
    }
    return QObject::eventFilter(watched, event);
}

void EngineWarmUp::warmUpDefaultPortal()
{
    // Starting the web engine and the page's renderer takes longer than the delayed login
    // waits: starting them now, rather than when the timer fires, lets them overlap. Once the
    // login has run there is nothing left to gain.
    const ServerEntry* entry = window->defaultServer();
    if (!window->loginTimer || !entry || CLoginUI::browserModeOn() || !isWebAddress(entry->url)) {
        return;
    }
    const QString host = QUrl(entry->url).host();
    if (host.isEmpty()) {
        return;
    }
    qCDebug(lcApp) << "warming up the web engine for the default server";
    window->prepareWebView(host);
}
