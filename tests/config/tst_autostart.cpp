#include "app/Product.h"
#include "common/ProcessSet.h"
#include "common/TestEnvironment.h"
#include "config/DesktopEntry.h"
#include "platform/AutoStart.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
const QStringList Switches {QStringLiteral("-min"), QStringLiteral("-autorun")};

// Reverses the general escaping of a desktop entry's string value.
QString unescapeStringValue(const QString& value)
{
    QString text;
    for (int i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        const QString known = QStringLiteral("sntr\\");
        const QString meaning = QStringLiteral(" \n\t\r\\");
        text += known.contains(next) ? meaning[known.indexOf(next)] : next;
    }
    return text;
}

// Splits an Exec value the way a desktop launcher does: blanks separate arguments,
// double quotes group them, and inside quotes a backslash escapes " ` $ and itself.
QStringList unquoteExec(const QString& exec)
{
    const QString line = unescapeStringValue(exec).replace(QStringLiteral("%%"), QStringLiteral("%"));
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool inArgument = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('\\') && i + 1 < line.size() && QStringLiteral("\"`$\\").contains(line[i + 1])) {
            current += line[++i];
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inArgument = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (inArgument) {
                arguments << current;
            }
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) {
        arguments << current;
    }
    return arguments;
}

QString execValue(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec=")) {
            return QString::fromUtf8(line.mid(5));
        }
    }
    return {};
}

QString entryPath(const QString& applicationName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
        + applicationName + QStringLiteral(".desktop");
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A stand-in program that writes the arguments it was started with, one per line.
const QByteArray Recorder = "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\"; done > \"$RECORD_FILE\"\n";
} // namespace

class TestAutoStart : public QObject
{
    Q_OBJECT

private slots:
    void execLineUnquotesToTheSameProgram_data();
    void execLineUnquotesToTheSameProgram();
    void desktopLauncherStartsTheExactProgram_data();
    void desktopLauncherStartsTheExactProgram();
    void entryIsValidAndFollowsTheSetting();
    void appImageRegistersTheImage();
    void unchangedEntryIsNotWrittenAgain();
    void clientRegistersItselfAtStart();
};

void TestAutoStart::execLineUnquotesToTheSameProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("plain") << QStringLiteral("/usr/bin/norv-client");
    QTest::newRow("blanks") << QStringLiteral("/opt/My Apps/norv client");
    QTest::newRow("double quote") << QStringLiteral("/tmp/a\"b/norv-client");
    QTest::newRow("single quote") << QStringLiteral("/home/o'neil/norv-client");
    QTest::newRow("backslash") << QStringLiteral("/tmp/back\\slash\\\\two");
    QTest::newRow("dollar") << QStringLiteral("/tmp/$HOME/${x}");
    QTest::newRow("backtick") << QStringLiteral("/tmp/`id`/norv-client");
    QTest::newRow("percent") << QStringLiteral("/tmp/100%/%f %u");
    QTest::newRow("control characters") << QStringLiteral("/tmp/new\nline\ttab\rcr");
    QTest::newRow("shell characters") << QStringLiteral("/tmp/a;b|c&d>e<f~g*h?i#j(k)l");
    QTest::newRow("chinese") << QStringLiteral("/home/用户/客户端/norv-client");
    QTest::newRow("leading blank") << QStringLiteral(" /tmp/x");
}

void TestAutoStart::execLineUnquotesToTheSameProgram()
{
    QFETCH(QString, program);
    const QString exec = DesktopEntry::execLine(program, Switches);
    QVERIFY2(!exec.contains(QLatin1Char('\n')), qPrintable(exec));
    QCOMPARE(unquoteExec(exec), QStringList {program} + Switches);
    QCOMPARE(execValue(DesktopEntry::autostartEntry(program)), exec);
}

void TestAutoStart::desktopLauncherStartsTheExactProgram_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("plain");
    QTest::newRow("awkward") << QStringLiteral("with blanks $HOME \"q\" `b` 'x' \\back; & (y)");
}

void TestAutoStart::desktopLauncherStartsTheExactProgram()
{
    // GLib's launcher is what GNOME and other desktops use to run autostart entries.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    QVERIFY2(!gio.isEmpty(), "gio (libglib2.0-bin) is needed");
    QFETCH(QString, folder);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(folder));
    const QString program = dir.path() + QLatin1Char('/') + folder + QStringLiteral("/norv-client");
    QFile script(program);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(Recorder);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QString entry = dir.filePath(QStringLiteral("entry.desktop"));
    QFile entryFile(entry);
    QVERIFY(entryFile.open(QIODevice::WriteOnly));
    entryFile.write(DesktopEntry::autostartEntry(program));
    entryFile.close();

    const QString record = dir.filePath(QStringLiteral("record"));
    QProcess launcher;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RECORD_FILE"), record);
    launcher.setProcessEnvironment(environment);
    launcher.start(gio, {QStringLiteral("launch"), entry});
    QVERIFY(launcher.waitForFinished());
    QVERIFY2(launcher.exitCode() == 0, launcher.readAllStandardError().constData());
    QTRY_VERIFY(QFile::exists(record) && readAll(record).endsWith("-autorun\n"));
    QCOMPARE(QString::fromUtf8(readAll(record)),
             (QStringList {program} + Switches).join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void TestAutoStart::entryIsValidAndFollowsTheSetting()
{
    const QString path = entryPath(QStringLiteral("tst_autostart"));
    QFile::remove(path);
    AutoStart::apply(true);
    const QByteArray entry = readAll(path);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QVERIFY(entry.contains("\nType=Application\n"));
    QVERIFY(entry.contains("\nName=" + QByteArray(ProductName) + "\n"));
    QVERIFY(entry.contains("\nX-GNOME-Autostart-enabled=true\n"));
    QVERIFY(entry.contains("\nX-GNOME-UsesNotifications=true\n"));
    QVERIFY(entry.contains("\nIcon="));
    QCOMPARE(unquoteExec(execValue(entry)), QStringList {QCoreApplication::applicationFilePath()} + Switches);

    QProcess validator;
    validator.start(QStringLiteral("desktop-file-validate"), {path});
    QVERIFY2(validator.waitForFinished(), "desktop-file-validate (desktop-file-utils) is needed");
    QVERIFY2(validator.exitCode() == 0, validator.readAllStandardOutput().constData());

    AutoStart::apply(false);
    QVERIFY(!QFile::exists(path));
    AutoStart::apply(false); // a missing entry is no error
    QVERIFY(!QFile::exists(path));
}

void TestAutoStart::appImageRegistersTheImage()
{
    const QString image = QStringLiteral("/home/user/Apps/Norv Client.AppImage");
    qputenv("APPIMAGE", image.toUtf8());
    AutoStart::apply(true);
    qunsetenv("APPIMAGE");
    QCOMPARE(unquoteExec(execValue(readAll(entryPath(QStringLiteral("tst_autostart"))))),
             QStringList {image} + Switches);
    AutoStart::apply(false);
}

void TestAutoStart::unchangedEntryIsNotWrittenAgain()
{
    const QString path = entryPath(QStringLiteral("tst_autostart"));
    AutoStart::apply(true);
    const QByteArray entry = readAll(path);
    const quint64 written = TestEnvironment::inodeOf(path);
    QVERIFY(written != 0);
    AutoStart::apply(true);
    QCOMPARE(TestEnvironment::inodeOf(path), written);

    // An entry that differs in any way, even by a trailing line, is replaced by the right one.
    for (const QByteArray& other : {entry + "Hidden=true\n", entry.left(entry.size() / 2), QByteArray()}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(other);
        file.close();
        const quint64 before = TestEnvironment::inodeOf(path);
        AutoStart::apply(true);
        QVERIFY(TestEnvironment::inodeOf(path) != before);
        QCOMPARE(readAll(path), entry);
    }
    AutoStart::apply(false);
}

void TestAutoStart::clientRegistersItselfAtStart()
{
    const QString path = entryPath(QStringLiteral("norv-client"));
    const QString settings = TestEnvironment::clientSettingsPath();
    QFile::remove(settings);
    QFile::remove(path);
    for (const bool enabled : {true, false}) {
        QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("AutoStart"), enabled);
        ProcessSet processes;
        QVERIFY(waitForStandardError(processes.start(TestEnvironment::clientPath()), ClientStartedLine));
        QCOMPARE(QFile::exists(path), enabled);
        if (enabled) {
            const QString client = QFileInfo(TestEnvironment::clientPath()).canonicalFilePath();
            QCOMPARE(unquoteExec(execValue(readAll(path))), QStringList {client} + Switches);
        }
    }
}

NORV_TEST_MAIN(TestAutoStart)
#include "tst_autostart.moc"
