#include "TransferTexts.h"

#include <QCoreApplication>

namespace TransferTexts {
const char* const Context = "Transfers";

QString running(int running, int percent)
{
    return QCoreApplication::translate(Context, "RunningTransfers").arg(running).arg(percent);
}

QString doneTitle()
{
    return QCoreApplication::translate(Context, "TransferDone");
}

QString failedTitle()
{
    return QCoreApplication::translate(Context, "TransferFailed");
}

QString showFile()
{
    return QCoreApplication::translate(Context, "ShowFile");
}

QString serviceUnreachable(int port)
{
    return QCoreApplication::translate(Context, "ServiceUnreachable").arg(port);
}
} // namespace TransferTexts
