#include "WestonSession.h"

#include "TestData.h"
#include "TiedProcess.h"

#include <QDir>
#include <QFileInfo>

namespace {
const int StartMs = 20000;
const int PollMs = 50;
const int ScreenshotMs = 20000;
const QString SocketName = QStringLiteral("norv-test-wayland");
const QString ScreenWidth = QStringLiteral("1600");
const QString ScreenHeight = QStringLiteral("1000");
// The desktop's background, as tests/data/weston.ini sets it.
const QRgb Background = 0xff204060;

// The bounding box of the pixels for which differs says so.
template<typename Differs>
QRect boundingBox(const QImage& image, Differs differs)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (differs(x, y)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}
} // namespace

WestonSession::~WestonSession()
{
    m_weston.terminate();
    m_weston.waitForFinished();
}

bool WestonSession::start()
{
    // --debug lets the screenshooter picture the screen; pixman draws it in memory.
    startTiedToTest(m_weston,
                    QStringLiteral("weston"),
                    {QStringLiteral("--backend=headless-backend.so"),
                     QStringLiteral("--use-pixman"),
                     QStringLiteral("--width=") + ScreenWidth,
                     QStringLiteral("--height=") + ScreenHeight,
                     QStringLiteral("--debug"),
                     QStringLiteral("--config=") + TestData::path("weston.ini"),
                     QStringLiteral("--socket=") + SocketName});
    const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + SocketName;
    for (int waited = 0; waited < StartMs && !QFileInfo(socket).exists(); waited += PollMs) {
        if (m_weston.waitForFinished(PollMs)) {
            return false;
        }
    }
    qputenv("WAYLAND_DISPLAY", SocketName.toLatin1());
    qputenv("QT_QPA_PLATFORM", "wayland");
    return QFileInfo(socket).exists();
}

QImage WestonSession::screenshot()
{
    QDir folder(m_folder.filePath(QStringLiteral("shots")));
    folder.removeRecursively();
    folder.mkpath(QStringLiteral("."));
    QProcess shooter;
    shooter.setWorkingDirectory(folder.path());
    shooter.start(QStringLiteral("weston-screenshooter"), QStringList());
    if (!shooter.waitForFinished(ScreenshotMs) || shooter.exitCode() != 0) {
        return {};
    }
    const QStringList shots = folder.entryList({QStringLiteral("*.png")});
    return shots.isEmpty() ? QImage() : QImage(folder.filePath(shots.first()));
}

QRect WestonSession::windowsArea()
{
    const QImage screen = screenshot();
    return boundingBox(screen, [&screen](int x, int y) { return (screen.pixel(x, y) | 0xff000000) != Background; });
}

QRect WestonSession::changedArea(const QImage& before, const QImage& after)
{
    return boundingBox(after, [&](int x, int y) { return before.pixel(x, y) != after.pixel(x, y); });
}
