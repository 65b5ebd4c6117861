#include "KilledWriter.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

namespace {
const int MaxDelayMs = 40;
const int StartTimeoutMs = 30000;
const int ShownBytes = 300;

QByteArray firstBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(ShownBytes) : QByteArray();
}

bool waitForLine(QProcess& writer)
{
    while (!writer.canReadLine()) {
        if (!writer.waitForReadyRead(StartTimeoutMs)) {
            return false;
        }
    }
    return !writer.readLine().isEmpty();
}
} // namespace

namespace KilledWriter {
void killRepeatedly(
    const QString& program, const QStringList& arguments, const QString& path, int kills, const ContentOf& contentOf)
{
    QSet<int> contentsSeen;
    for (int kill = 0; kill < kills; ++kill) {
        QProcess writer;
        writer.start(program, arguments);
        QVERIFY(writer.waitForStarted());
        // Each content in turn is on disk when the kill comes, however slowly the writer runs.
        for (int announced = 0; announced <= kill % 2; ++announced) {
            QVERIFY2(waitForLine(writer), "the writer did not get a content on disk in time");
        }
        QTest::qWait(QRandomGenerator::global()->bounded(1, MaxDelayMs));
        writer.kill();
        QVERIFY(writer.waitForFinished());

        const int content = contentOf(path);
        QVERIFY2(content >= 0, firstBytes(path).constData());
        contentsSeen.insert(content);
    }
    // Both contents were on disk at some kill, so the kills really landed during the rewriting.
    QCOMPARE(contentsSeen.size(), 2);
}
} // namespace KilledWriter
