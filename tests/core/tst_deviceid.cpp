#include "common/TestEnvironment.h"
#include "core/DeviceId.h"
#include "core/TesselCore.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/stat.h>

namespace {
const QString AppKey = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

QString readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// What a common umask (022) gives new files and folders: readable by every account.
const mode_t CommonUmask = 022;
const int WideFileMode = 0644;
const int OwnerOnlyFolderMode = 0700;
const int OwnerOnlyFileMode = 0600;

// The id a client process reports when home is that of its account.
QString printedId(const QString& home)
{
    QProcess printer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    printer.setProcessEnvironment(environment);
    printer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/print-deviceid"), {AppKey});
    const bool printed = printer.waitForFinished(30000) && printer.exitCode() == 0;
    return printed ? QString::fromLatin1(printer.readAllStandardOutput()).trimmed() : QString();
}

bool isUuidText(const QString& text)
{
    return text.size() == 36 && !QUuid(text).isNull();
}
} // namespace

class TestDeviceId : public QObject
{
    Q_OBJECT

private slots:
    void eachAccountHasAnIdOfItsOwn();
    void keptIdIsCreatedOnceAndReused();
    void brokenKeptIdIsReplaced_data();
    void brokenKeptIdIsReplaced();
    void unwritableFolderStillGivesAnId();
    void keptIdIsTheUsersAlone();
    void coreIdIsStableAcrossObjects();
};

void TestDeviceId::eachAccountHasAnIdOfItsOwn()
{
    // Two accounts of one machine, each with a home of its own: neither can know the other's id.
    QTemporaryDir first;
    QTemporaryDir second;
    const QString id = printedId(first.path());
    QVERIFY(isUuidText(id));
    QCOMPARE(QUuid(id).version(), QUuid::Random);
    QVERIFY(printedId(second.path()) != id);
    QCOMPARE(printedId(first.path()), id);
}

void TestDeviceId::keptIdIsCreatedOnceAndReused()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/nested/device-id");
    const QString first = DeviceId::fromFile(path);
    QVERIFY(isUuidText(first));
    QCOMPARE(readFile(path).trimmed(), first);
    QCOMPARE(DeviceId::fromFile(path), first);
}

void TestDeviceId::brokenKeptIdIsReplaced_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a uuid") << QByteArray("hello world\n");
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01", 4);
    QTest::newRow("oversized") << QByteArray(1 << 20, 'a');
}

void TestDeviceId::brokenKeptIdIsReplaced()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/device-id");
    writeFile(path, content);
    const QString id = DeviceId::fromFile(path);
    QVERIFY(isUuidText(id));
    QCOMPARE(readFile(path).trimmed(), id);
    QCOMPARE(DeviceId::fromFile(path), id);
}

void TestDeviceId::unwritableFolderStillGivesAnId()
{
    QTemporaryDir dir;
    // A plain file where the folder should be: nothing can be kept below it.
    const QString blocker = dir.path() + QStringLiteral("/blocker");
    writeFile(blocker, "x");
    QVERIFY(isUuidText(DeviceId::fromFile(blocker + QStringLiteral("/device-id"))));
}

void TestDeviceId::keptIdIsTheUsersAlone()
{
    const mode_t savedUmask = ::umask(CommonUmask);
    const auto restoreUmask = qScopeGuard([savedUmask] { ::umask(savedUmask); });
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/data");
    const QString path = folder + QStringLiteral("/device-id");
    const QString id = DeviceId::fromFile(path);
    QVERIFY(isUuidText(id));
    QCOMPARE(TestEnvironment::modeOf(folder), OwnerOnlyFolderMode);
    QCOMPARE(TestEnvironment::modeOf(path), OwnerOnlyFileMode);

    // Kept by an earlier version, readable by everyone.
    QVERIFY(::chmod(QFile::encodeName(path).constData(), WideFileMode) == 0);
    QCOMPARE(DeviceId::fromFile(path), id);
    QCOMPARE(TestEnvironment::modeOf(path), OwnerOnlyFileMode);
}

void TestDeviceId::coreIdIsStableAcrossObjects()
{
    const QString inProcess = TesselCore(AppKey, 1).Get_Deviceuuid();
    QVERIFY(isUuidText(inProcess));
    QCOMPARE(TesselCore(AppKey, 1).Get_Deviceuuid(), inProcess);
}

NORV_TEST_MAIN(TestDeviceId)
#include "tst_deviceid.moc"
