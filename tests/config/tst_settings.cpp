#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "config/DataDirectory.h"
#include "config/SettingsFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {
QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstStartGivesDefaultsAndACompleteFile();
    void missingKeysTakeDefaults();
    void storedValues_data();
    void storedValues();
    void onlyTheLastFolderLevelIsCreated();
    void sameValuesAreNotWrittenAgain_data();
    void sameValuesAreNotWrittenAgain();
    void locksAKilledWriterLeftDoNotStallTheSave_data();
    void locksAKilledWriterLeftDoNotStallTheSave();
    void clientWritesSettingsAtEveryStart();

private:
    std::unique_ptr<QTemporaryDir> m_dataHome;
};

void TestSettings::init()
{
    m_dataHome = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome->path()));
}

void TestSettings::firstStartGivesDefaultsAndACompleteFile()
{
    QVERIFY(!QDir(DataDirectory::path()).exists());
    const Settings settings = SettingsFile::read();
    QCOMPARE(settings.language, 0);
    QCOMPARE(settings.autoStart, true);
    QCOMPARE(settings.miniTray, true);
    QVERIFY(QDir(DataDirectory::path()).exists());
    QCOMPARE(SettingsFile::path(), DataDirectory::path() + QStringLiteral("/tst_settings.ini"));

    SettingsFile::write(settings);
    const QString text = readText(SettingsFile::path());
    QVERIFY2(text.contains(QStringLiteral("[General]")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Language=0")));
    QVERIFY(text.contains(QStringLiteral("AutoStart=true")));
    QVERIFY(text.contains(QStringLiteral("MiniTray=true")));
}

void TestSettings::missingKeysTakeDefaults()
{
    writeText(SettingsFile::path(), "[General]\nMiniTray=false\n");
    Settings settings = SettingsFile::read();
    QCOMPARE(settings.language, 0);
    QCOMPARE(settings.autoStart, true);
    QCOMPARE(settings.miniTray, false);

    SettingsFile::write(settings);
    const QString text = readText(SettingsFile::path());
    QVERIFY(text.contains(QStringLiteral("Language=0")));
    QVERIFY(text.contains(QStringLiteral("AutoStart=true")));
    QVERIFY(text.contains(QStringLiteral("MiniTray=false")));
}

void TestSettings::storedValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<bool>("miniTray");
    QTest::newRow("chinese") << QByteArray("Language=1\nAutoStart=false\nMiniTray=true") << 1 << false << true;
    QTest::newRow("unknown index is kept") << QByteArray("Language=2") << 2 << true << true;
    QTest::newRow("not a number") << QByteArray("Language=abc") << 0 << true << true;
    QTest::newRow("empty flags are false") << QByteArray("AutoStart=\nMiniTray=") << 0 << false << false;
    QTest::newRow("zero and FALSE") << QByteArray("AutoStart=0\nMiniTray=FALSE") << 0 << false << false;
    QTest::newRow("other text is true") << QByteArray("AutoStart=yes\nMiniTray=2") << 0 << true << true;
    QTest::newRow("garbage file") << QByteArray("\x00\x01[[[=\n\xff", 8) << 0 << true << true;
}

void TestSettings::storedValues()
{
    QFETCH(QByteArray, content);
    writeText(SettingsFile::path(), "[General]\n" + content + "\n");
    const Settings settings = SettingsFile::read();
    QTEST(settings.language, "language");
    QTEST(settings.autoStart, "autoStart");
    QTEST(settings.miniTray, "miniTray");

    // Whatever was read is written back unchanged.
    SettingsFile::write(settings);
    const Settings again = SettingsFile::read();
    QCOMPARE(again.language, settings.language);
    QCOMPARE(again.autoStart, settings.autoStart);
    QCOMPARE(again.miniTray, settings.miniTray);
}

void TestSettings::onlyTheLastFolderLevelIsCreated()
{
    const QString deep = m_dataHome->path() + QStringLiteral("/missing/parent");
    qputenv("XDG_DATA_HOME", QFile::encodeName(deep));
    DataDirectory::ensureExists();
    QVERIFY(!QDir(deep).exists());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome->path()));
    DataDirectory::ensureExists();
    QVERIFY(QDir(DataDirectory::path()).exists());
}

void TestSettings::sameValuesAreNotWrittenAgain_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("rewritten");
    QTest::newRow("same values") << QByteArray("Language=1\nAutoStart=false\nMiniTray=true") << false;
    QTest::newRow("a key missing") << QByteArray("Language=1\nMiniTray=true") << true;
    QTest::newRow("spelled otherwise") << QByteArray("Language=1\nAutoStart=0\nMiniTray=true") << true;
    QTest::newRow("another value") << QByteArray("Language=1\nAutoStart=true\nMiniTray=true") << true;
}

void TestSettings::sameValuesAreNotWrittenAgain()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, rewritten);
    Settings settings;
    settings.language = 1;
    settings.autoStart = false;
    writeText(SettingsFile::path(), "[General]\n" + content + "\n");
    const quint64 before = TestEnvironment::inodeOf(SettingsFile::path());
    QVERIFY(before != 0);

    SettingsFile::write(settings);
    QCOMPARE(TestEnvironment::inodeOf(SettingsFile::path()) != before, rewritten);
    const Settings stored = SettingsFile::read();
    QCOMPARE(stored.language, 1);
    QCOMPARE(stored.autoStart, false);
    QCOMPARE(stored.miniTray, true);
    const QString text = readText(SettingsFile::path());
    QVERIFY2(text.contains(QStringLiteral("AutoStart=false")), qPrintable(text));
}

void TestSettings::locksAKilledWriterLeftDoNotStallTheSave_data()
{
    // A kill between creating a lock file and writing its owner into it leaves it empty.
    QTest::addColumn<QByteArray>("lockContent");
    QTest::addColumn<int>("emptyRemovalLocks");
    QTest::newRow("empty lock") << QByteArray() << 0;
    QTest::newRow("empty removal lock") << QByteArray("2147483646\nnorv\n") << 1;
    QTest::newRow("two empty removal locks") << QByteArray() << 2;
}

void TestSettings::locksAKilledWriterLeftDoNotStallTheSave()
{
    QFETCH(QByteArray, lockContent);
    QFETCH(int, emptyRemovalLocks);
    QString lockPath = SettingsFile::path() + QStringLiteral(".lock");
    writeText(lockPath, lockContent);
    for (int level = 0; level < emptyRemovalLocks; ++level) {
        lockPath += QStringLiteral(".rmlock");
        writeText(lockPath, QByteArray());
    }
    // Qt trusts an unreadable lock for 30 s; a save waiting that long is a hung window.
    const qint64 hungMs = 15000;
    QElapsedTimer saving;
    saving.start();
    Settings settings;
    settings.language = 1;
    SettingsFile::write(settings);
    QVERIFY2(saving.elapsed() < hungMs, qPrintable(QString::number(saving.elapsed())));
    QCOMPARE(SettingsFile::read().language, 1);
    QCOMPARE(QDir(DataDirectory::path()).entryList(QDir::Files), {QStringLiteral("tst_settings.ini")});
}

void TestSettings::clientWritesSettingsAtEveryStart()
{
    const QString settingsPath = TestEnvironment::clientSettingsPath();
    for (const bool firstStart : {true, false}) {
        if (!firstStart) {
            writeText(settingsPath, "[General]\nLanguage=2\nMiniTray=false\n");
        }
        ProcessSet processes;
        QProcess* client = processes.start(TestEnvironment::clientPath());
        QVERIFY(waitForStandardError(client, ClientStartedLine));
        const QSettings written(settingsPath, QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("Language")).toString(),
                 firstStart ? QStringLiteral("0") : QStringLiteral("2"));
        QCOMPARE(written.value(QStringLiteral("AutoStart")).toString(), QStringLiteral("true"));
        QCOMPARE(written.value(QStringLiteral("MiniTray")).toString(),
                 firstStart ? QStringLiteral("true") : QStringLiteral("false"));
    }
}

NORV_TEST_MAIN(TestSettings)
#include "tst_settings.moc"
