// The version file from body to comparison result. The comparison lives in the update
// dialog, so the dialog is driven as the worker's answer would drive it; showing the
// result is the only step left out.
#include "app/CMainWindow.h"
#include "i18n/CTextTable.h"
#include "update/CCheckUpdateUI.h"

#include <QApplication>
#include <QTemporaryDir>

namespace {
const int HttpOk = 200;

class QuietUpdateDialog : public CCheckUpdateUI
{
public:
    QuietUpdateDialog()
        : CCheckUpdateUI(false)
    {
    }
    // A modal loop would stop the fuzzer; the labels already hold the result.
    int exec() override { return Accepted; }
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The main window reads and writes the user's files: keep them inside a temporary folder.
    static QTemporaryDir home;
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        qputenv(variable, home.path().toLocal8Bit());
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    mainWindowInstance = new CMainWindow;
    mainWindowInstance->textTable = new CTextTable;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QuietUpdateDialog dialog;
    dialog.beginCheck();
    dialog.replyFinished(dialog.requestedCheck(), HttpOk, QByteArray(reinterpret_cast<const char*>(data), int(size)));
    return 0;
}
