// SIGKILL at random moments while the settings file and the autostart entry are rewritten:
// each file must always hold exactly the old or the new content.
#include "WriterContents.h"
#include "common/KilledWriter.h"
#include "common/TestEnvironment.h"
#include "config/DesktopEntry.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {
const int Kills = 100;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Which of the writer's two settings the file holds, -1 for neither. Read as the client
// reads it, and the raw keys checked too, since missing keys would read as defaults.
int settingsRound(const QString& path)
{
    const QByteArray raw = readAll(path);
    for (const char* key : {"Language=", "AutoStart=", "MiniTray="}) {
        if (!raw.contains(key)) {
            return -1;
        }
    }
    const Settings read = SettingsFile::read();
    for (int round = 0; round < 2; ++round) {
        const Settings written = WriterContents::settings(round);
        if (read.language == written.language && read.autoStart == written.autoStart
            && read.miniTray == written.miniTray) {
            return round;
        }
    }
    return -1;
}

QString writerProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/reliability-writer");
}

int autostartRound(const QString& path)
{
    const QByteArray entry = readAll(path);
    for (int round = 0; round < 2; ++round) {
        if (entry == DesktopEntry::autostartEntry(WriterContents::programPath(round))) {
            return round;
        }
    }
    return -1;
}
} // namespace

class TestKilledWriters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsFileSurvivesKills();
    void autostartEntrySurvivesKills();
};

void TestKilledWriters::initTestCase()
{
    // The same name as the writer's, so both find the same files.
    QCoreApplication::setApplicationName(QString::fromLatin1(WriterContents::ApplicationName));
}

void TestKilledWriters::settingsFileSurvivesKills()
{
    KilledWriter::killRepeatedly(writerProgram(),
                                 {QString::fromLatin1(WriterContents::SettingsMode)},
                                 SettingsFile::path(),
                                 Kills,
                                 settingsRound);
}

void TestKilledWriters::autostartEntrySurvivesKills()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/") + QString::fromLatin1(WriterContents::ApplicationName)
        + QStringLiteral(".desktop");
    KilledWriter::killRepeatedly(
        writerProgram(), {QString::fromLatin1(WriterContents::AutoStartMode)}, path, Kills, autostartRound);
}

NORV_TEST_MAIN(TestKilledWriters)
#include "tst_killedwriters.moc"
