#include "common/KilledWriter.h"
#include "common/TestEnvironment.h"
#include "config/ServerConfigFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

Q_DECLARE_METATYPE(QVector<ServerEntry>)

// At global scope, so QVector's comparison finds it.
bool operator==(const ServerEntry& a, const ServerEntry& b)
{
    return a.name == b.name && a.url == b.url && a.isDefault == b.isDefault;
}

namespace {
QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray wrap(const QByteArray& servers)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServerList>" + servers + "</ServerList>";
}
} // namespace

class TestServerConfig : public QObject
{
    Q_OBJECT

private slots:
    void writesTheKnownLayout();
    void emptyListRoundTrips();
    void anyTextSurvivesARoundTrip();
    void readerWalk_data();
    void readerWalk();
    void missingAndBrokenFiles();
    void unreadableFileIsKeptBeforeTheFirstRewrite();
    void oversizedFileIsKeptAndNotParsed();
    void failedWriteReportsFailure();
    void killedWriterNeverLeavesABrokenFile();

private:
    QTemporaryDir m_dir;
};

void TestServerConfig::writesTheKnownLayout()
{
    const QVector<ServerEntry> servers {{QStringLiteral("Office"), QStringLiteral("https://files.example"), true},
                                        {QStringLiteral("Lab"), QStringLiteral("http://10.0.0.7:8080"), false}};
    const QByteArray expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<ServerList>\n"
                                "    <Server>\n"
                                "        <Default>true</Default>\n"
                                "        <Name>Office</Name>\n"
                                "        <URL>https://files.example</URL>\n"
                                "    </Server>\n"
                                "    <Server>\n"
                                "        <Default>false</Default>\n"
                                "        <Name>Lab</Name>\n"
                                "        <URL>http://10.0.0.7:8080</URL>\n"
                                "    </Server>\n"
                                "</ServerList>\n";
    ServerConfigFile file(m_dir.filePath(QStringLiteral("layout.xml")));
    QVERIFY(file.write(servers));
    QCOMPARE(readAll(file.filePath()), expected);
}

void TestServerConfig::emptyListRoundTrips()
{
    ServerConfigFile file(m_dir.filePath(QStringLiteral("empty.xml")));
    QVERIFY(file.write({}));
    QCOMPARE(readAll(file.filePath()), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServerList/>\n"));
    QVector<ServerEntry> servers;
    QCOMPARE(file.read(servers), ServerConfigFile::ReadOk);
    QVERIFY(servers.isEmpty());
}

void TestServerConfig::anyTextSurvivesARoundTrip()
{
    const QVector<ServerEntry> servers {
        {QStringLiteral("R&D <west> \"quoted\" 'single'"), QStringLiteral("https://a.example/?x=1&y=<2>"), false},
        {QStringLiteral("总部服务器"), QStringLiteral("https://例子.example"), true},
        {QStringLiteral("  spaced  "), QStringLiteral("https://b.example"), false},
        {QString(), QStringLiteral("https://c.example"), false},
    };
    ServerConfigFile file(m_dir.filePath(QStringLiteral("roundtrip.xml")));
    QVERIFY(file.write(servers));
    QVector<ServerEntry> read;
    QCOMPARE(file.read(read), ServerConfigFile::ReadOk);
    QVERIFY(read == servers);
}

void TestServerConfig::readerWalk_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVector<ServerEntry>>("expected");

    QTest::newRow("default must be exactly true")
        << wrap("<Server><Default>True</Default><Name>a</Name><URL>u1</URL></Server>"
                "<Server><Default> true</Default><Name>b</Name><URL>u2</URL></Server>"
                "<Server><Default>true</Default><Name>c</Name><URL>u3</URL></Server>")
        << QVector<ServerEntry> {{"a", "u1", false}, {"b", "u2", false}, {"c", "u3", true}};
    QTest::newRow("values carry over between servers")
        << wrap("<Server><Default>true</Default><Name>a</Name><URL>u1</URL></Server>"
                "<Server><Name>b</Name><URL>u2</URL></Server>"
                "<Server><URL>u3</URL></Server>")
        << QVector<ServerEntry> {{"a", "u1", true}, {"b", "u2", true}, {"b", "u3", true}};
    QTest::newRow("url before any name") << wrap("<Server><URL>u1</URL><Name>late</Name></Server>")
                                         << QVector<ServerEntry> {{"", "u1", false}};
    QTest::newRow("duplicates are kept") << wrap("<Server><Default>false</Default><Name>a</Name><URL>u</URL></Server>"
                                                 "<Server><Default>false</Default><Name>b</Name><URL>u</URL></Server>")
                                         << QVector<ServerEntry> {{"a", "u", false}, {"b", "u", false}};
    QTest::newRow("any root name") << QByteArray(
        "<Anything><Server><Default>false</Default><Name>a</Name><URL>u</URL></Server></Anything>")
                                   << QVector<ServerEntry> {{"a", "u", false}};
    QTest::newRow("deeper wrapping stops after the first group")
        << wrap("<Group><Server><Name>a</Name><URL>u1</URL></Server><Server><Name>b</Name><URL>u2</URL></Server>"
                "</Group><Group><Server><Name>c</Name><URL>u3</URL></Server></Group>")
        << QVector<ServerEntry> {{"a", "u1", false}, {"b", "u2", false}};
    QTest::newRow("element text is all text inside")
        << wrap("<Server><Name>a<b>b</b>c</Name><URL>u<!-- c -->1</URL></Server>")
        << QVector<ServerEntry> {{"abc", "u1", false}};
    QTest::newRow("names are case-sensitive") << wrap("<Server><name>a</name><url>u0</url><URL>u1</URL></Server>")
                                              << QVector<ServerEntry> {{"", "u1", false}};
    QTest::newRow("empty root") << wrap("") << QVector<ServerEntry> {};
}

void TestServerConfig::readerWalk()
{
    QFETCH(QByteArray, content);
    QFETCH(QVector<ServerEntry>, expected);
    QVector<ServerEntry> servers;
    QVERIFY(ServerConfigFile::parse(content, servers));
    QCOMPARE(servers.size(), expected.size());
    for (int i = 0; i < servers.size(); ++i) {
        QCOMPARE(servers[i].name, expected[i].name);
        QCOMPARE(servers[i].url, expected[i].url);
        QCOMPARE(servers[i].isDefault, expected[i].isDefault);
    }
}

void TestServerConfig::missingAndBrokenFiles()
{
    QVector<ServerEntry> servers;
    ServerConfigFile missing(m_dir.filePath(QStringLiteral("missing.xml")));
    QCOMPARE(missing.read(servers), ServerConfigFile::CannotOpen);
    QVERIFY(!QFile::exists(missing.filePath()));

    for (const QByteArray& broken :
         {QByteArray(), QByteArray("<ServerList><Server>"), QByteArray("\xff\xfe garbage")}) {
        const QString path = m_dir.filePath(QStringLiteral("broken.xml"));
        writeAll(path, broken);
        ServerConfigFile file(path);
        QCOMPARE(file.read(servers), ServerConfigFile::NotWellFormed);
        QVERIFY(servers.isEmpty());
        QCOMPARE(readAll(path), broken);
    }
}

void TestServerConfig::unreadableFileIsKeptBeforeTheFirstRewrite()
{
    const QString path = m_dir.filePath(QStringLiteral("typo.xml"));
    const QByteArray handEdited = wrap("<Server><Name>mine</Name><URL>https://mine</URL></Server") + "\n";
    writeAll(path, handEdited);
    QFile::remove(path + QStringLiteral(".bad"));

    ServerConfigFile file(path);
    QVector<ServerEntry> servers;
    QCOMPARE(file.read(servers), ServerConfigFile::NotWellFormed);
    QCOMPARE(file.keptCopyPath(), path + QStringLiteral(".bad"));
    QVERIFY(!QFile::exists(file.keptCopyPath()));

    servers.append({QStringLiteral("new"), QStringLiteral("https://new"), true});
    QVERIFY(file.write(servers));
    QCOMPARE(readAll(file.keptCopyPath()), handEdited);
    QVector<ServerEntry> reread;
    QCOMPARE(ServerConfigFile(path).read(reread), ServerConfigFile::ReadOk);
    QCOMPARE(reread.size(), 1);

    // Later rewrites replace a good file: the kept copy stays the user's original.
    servers.append({QStringLiteral("more"), QStringLiteral("https://more"), false});
    QVERIFY(file.write(servers));
    QCOMPARE(readAll(file.keptCopyPath()), handEdited);
}

void TestServerConfig::oversizedFileIsKeptAndNotParsed()
{
    const QString path = m_dir.filePath(QStringLiteral("huge.xml"));
    QByteArray huge = wrap(QByteArray(16 * 1024 * 1024, ' '));
    writeAll(path, huge);
    ServerConfigFile file(path);
    QVector<ServerEntry> servers;
    QCOMPARE(file.read(servers), ServerConfigFile::NotWellFormed);
    QVERIFY(file.write({{QStringLiteral("a"), QStringLiteral("https://a"), false}}));
    QCOMPARE(QFileInfo(file.keptCopyPath()).size(), qint64(huge.size()));
    QVERIFY(QFileInfo(path).size() < 1024);
}

void TestServerConfig::failedWriteReportsFailure()
{
    const QString blocker = m_dir.filePath(QStringLiteral("not-a-folder"));
    writeAll(blocker, "x");
    ServerConfigFile file(blocker + QStringLiteral("/ServerConfig.xml"));
    QVERIFY(!file.write({{QStringLiteral("a"), QStringLiteral("https://a"), false}}));
    QCOMPARE(readAll(blocker), QByteArray("x"));
}

void TestServerConfig::killedWriterNeverLeavesABrokenFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ServerConfig.xml"));
    // The writer alternates between a list of 400 and one of 600 servers, the first the default.
    const auto listOnDisk = [](const QString& file) {
        QVector<ServerEntry> servers;
        if (ServerConfigFile(file).read(servers) != ServerConfigFile::ReadOk || servers.isEmpty()
            || !servers.first().isDefault
            || !servers.last().url.endsWith(QStringLiteral("-%1.example").arg(servers.size() - 1))) {
            return -1;
        }
        return servers.size() == 400 ? 0 : servers.size() == 600 ? 1 : -1;
    };
    KilledWriter::killRepeatedly(
        QCoreApplication::applicationDirPath() + QStringLiteral("/serverconfig-writer"), {path}, path, 60, listOnDisk);
}

NORV_TEST_MAIN(TestServerConfig)
#include "tst_serverconfig.moc"
