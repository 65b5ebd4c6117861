// Rewrites the server list at argv[1] forever, alternating between two lists of
// different lengths, until it is killed.
#include "config/ServerConfigFile.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
QVector<ServerEntry> makeList(int count, const QString& tag)
{
    QVector<ServerEntry> servers;
    for (int i = 0; i < count; ++i) {
        servers.append({tag + QString::number(i), QStringLiteral("https://%1-%2.example").arg(tag).arg(i), i == 0});
    }
    return servers;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        return 2;
    }
    ServerConfigFile file(QString::fromLocal8Bit(argv[1]));
    const QVector<ServerEntry> lists[] = {makeList(400, QStringLiteral("old")), makeList(600, QStringLiteral("new"))};
    // Tell the test each time a whole list is on disk: its kills land while rewriting, and
    // the time between two lines is how long one rewrite takes.
    for (unsigned round = 0;; ++round) {
        file.write(lists[round % 2]);
        QTextStream(stdout) << "written" << Qt::endl;
    }
}
