#include "ShellFixture.h"

#include "app/CMainWindow.h"
#include "login/CLoginUI.h"

namespace ShellFixture {
CMainWindow* start(int language)
{
    qputenv("NORV_HTTPD_PORT", "0");
    auto* window = new CMainWindow;
    mainWindowInstance = window;
    window->loginUI = new CLoginUI;
    window->initLayout();
    window->slot_switch_language(language);
    window->initCore();
    return window;
}
} // namespace ShellFixture
