#include "DemoPortalProcess.h"

#include "ProcessSet.h"
#include "TestCertificates.h"
#include "TestEnvironment.h"

#include <QDebug>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>

namespace {
const int StartTimeoutMs = 10000;
const QByteArray ListeningPrefix = QByteArrayLiteral("listening on ");
} // namespace

bool DemoPortalProcess::start(ProcessSet& processes, const QStringList& arguments)
{
    process = processes.start(program(), QStringList {QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    while (!process->canReadLine() && process->waitForReadyRead(StartTimeoutMs)) { }
    const QByteArray line = process->readLine().trimmed();
    if (!line.startsWith(ListeningPrefix)) {
        qWarning() << "the demo portal did not start:" << line << process->readAllStandardError();
        return false;
    }
    port = line.mid(ListeningPrefix.size()).toUShort();
    return port != 0;
}

void DemoPortalProcess::stop()
{
    process->kill();
    process->waitForFinished(StartTimeoutMs);
}

QString DemoPortalProcess::origin(bool https) const
{
    return (https ? QStringLiteral("https://127.0.0.1:") : QStringLiteral("http://127.0.0.1:")) + QString::number(port);
}

QString DemoPortalProcess::program()
{
    return TestEnvironment::binFolder() + QStringLiteral("/norv-demo-portal");
}

QStringList DemoPortalProcess::httpsArguments()
{
    return {QStringLiteral("--https"),
            QStringLiteral("--cert"),
            TestCertificates::file("cert.pem"),
            QStringLiteral("--key"),
            TestCertificates::file("key.pem")};
}

quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost)) {
        return 0;
    }
    const quint16 port = server.serverPort();
    server.close();
    return port;
}
