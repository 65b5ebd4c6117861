#include "NodePeer.h"

#include "TiedProcess.h"

#include <QDir>
#include <QtTest>

namespace {
const int StartTimeoutMs = 30000;
const QByteArray PortLine = QByteArrayLiteral("listening ");
} // namespace

NodePeer::~NodePeer()
{
    kill();
}

void NodePeer::kill()
{
    m_process.kill();
    m_process.waitForFinished();
}

bool NodePeer::start(const QString& script, const QStringList& arguments)
{
    m_output.clear();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    startTiedToTest(
        m_process, QStringLiteral("node"), QStringList {QStringLiteral(NORV_NODE_DIR "/") + script} + arguments);
    if (!m_process.waitForStarted(StartTimeoutMs)) {
        return false;
    }
    QTest::qWaitFor([this] { return m_process.canReadLine() || m_process.state() != QProcess::Running; },
                    StartTimeoutMs);
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith(PortLine)) {
        return false;
    }
    m_port = static_cast<quint16>(line.mid(PortLine.size()).toUShort());
    return m_port != 0;
}

bool NodePeer::startTusServer(const QString& store)
{
    return QDir().mkpath(store) && start(QStringLiteral("tus-server.mjs"), {store});
}

QString NodePeer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QByteArray NodePeer::output()
{
    m_process.waitForReadyRead(0);
    m_output += m_process.readAllStandardOutput();
    return m_output;
}
