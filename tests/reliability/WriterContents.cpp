#include "WriterContents.h"

namespace WriterContents {
const char* const ApplicationName = "norv-reliability";
const char* const SettingsMode = "settings";
const char* const AutoStartMode = "autostart";
const char* const StartedLine = "writing\n";

Settings settings(int round)
{
    return round % 2 == 0 ? Settings {1, false, true} : Settings {17, true, false};
}

QString programPath(int round)
{
    return round % 2 == 0 ? QStringLiteral("/opt/old/norv-client")
                          : QStringLiteral("/opt/a much longer new folder/with $pecial \"chars\"/norv-client");
}
} // namespace WriterContents
