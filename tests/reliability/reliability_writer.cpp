// reliability-writer settings|autostart: rewrites the settings file or the autostart entry
// forever, alternating between two contents, until it is killed. Says "writing" on standard
// output each time a content is on disk.
#include "WriterContents.h"
#include "platform/AutoStart.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
const int UsageError = 2;
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(WriterContents::ApplicationName));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const bool settings = mode == QLatin1String(WriterContents::SettingsMode);
    if (!settings && mode != QLatin1String(WriterContents::AutoStartMode)) {
        return UsageError;
    }
    for (int round = 0;; round = 1 - round) {
        if (settings) {
            SettingsFile::write(WriterContents::settings(round));
        } else {
            // Inside an AppImage the entry names the image: the variable chooses the path written.
            qputenv("APPIMAGE", WriterContents::programPath(round).toLocal8Bit());
            AutoStart::apply(true);
        }
        std::fputs(WriterContents::StartedLine, stdout);
        std::fflush(stdout);
    }
}
