#include "AccessibleTexts.h"

#include <QCoreApplication>

namespace {
const char* const Context = "Accessible";
} // namespace

namespace AccessibleTexts {
QString close()
{
    return QCoreApplication::translate(Context, "Close");
}

QString deleteServer()
{
    return QCoreApplication::translate(Context, "DeleteServer");
}

QString savedServers()
{
    return QCoreApplication::translate(Context, "SavedServers");
}
} // namespace AccessibleTexts
