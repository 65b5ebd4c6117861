#include "TinyProxy.h"

#include "DemoPortalProcess.h"
#include "ProcessSet.h"

#include <QFile>
#include <QTcpSocket>
#include <QTest>

namespace {
const int StartMs = 10000;
const QString ConfigName = QStringLiteral("tinyproxy.conf");
const QString LogName = QStringLiteral("tinyproxy.log");

bool listens(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(StartMs / 10);
}
} // namespace

bool TinyProxy::start(ProcessSet& processes, const QByteArray& user, const QByteArray& password)
{
    m_port = closedPort();
    QFile config(m_folder.filePath(ConfigName));
    if (m_port == 0 || !config.open(QIODevice::WriteOnly)) {
        return false;
    }
    // No ConnectPort line: CONNECT goes to any port, as the test servers' are random.
    QByteArray text = "Port " + QByteArray::number(m_port) + "\nListen 127.0.0.1\nTimeout 60\nMaxClients 50\n"
        + "LogLevel Info\nLogFile \"" + QFile::encodeName(m_folder.filePath(LogName)) + "\"\n";
    if (!user.isEmpty()) {
        text += "BasicAuth " + user + ' ' + password + '\n';
    }
    config.write(text);
    config.close();
    // -d: in the foreground, so the process set ends it.
    QProcess* proxy =
        processes.start(QStringLiteral("tinyproxy"), {QStringLiteral("-d"), QStringLiteral("-c"), config.fileName()});
    return QTest::qWaitFor([&] { return proxy->state() == QProcess::Running && listens(m_port); }, StartMs);
}

QByteArray TinyProxy::address() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}

QByteArray TinyProxy::log() const
{
    QFile file(m_folder.filePath(LogName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
