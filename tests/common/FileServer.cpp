#include "FileServer.h"

#include "ProcessSet.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {
const int StartTimeoutMs = 10000;
// What http.server prints once it listens, with the port it took.
const QRegularExpression ServingLine(QStringLiteral("Serving HTTP on \\S+ port (\\d+)"));
} // namespace

bool FileServer::start(ProcessSet& processes)
{
    // -u: the line saying where it listens arrives at once, not when a buffer fills.
    QProcess* server = processes.start(QStringLiteral("python3"),
                                       {QStringLiteral("-u"),
                                        QStringLiteral("-m"),
                                        QStringLiteral("http.server"),
                                        QStringLiteral("0"),
                                        QStringLiteral("--bind"),
                                        QStringLiteral("127.0.0.1"),
                                        QStringLiteral("--directory"),
                                        m_folder.path()});
    while (!server->canReadLine() && server->waitForReadyRead(StartTimeoutMs)) { }
    m_port = ServingLine.match(QString::fromUtf8(server->readLine())).captured(1).toUShort();
    return m_port != 0;
}

QUrl FileServer::put(const QString& name, const QByteArray& content)
{
    QFile file(m_folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        return {};
    }
    return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(name));
}
