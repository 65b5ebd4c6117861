#include "SquidProxy.h"

#include "DemoPortalProcess.h"
#include "ProcessSet.h"

#include <QFile>
#include <QTcpSocket>
#include <QTest>

namespace {
const int StartMs = 30000;
const char* const LoginHelper = "/usr/lib/squid/basic_ncsa_auth";

bool listens(quint16 port)
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), port);
    return probe.waitForConnected(StartMs / 30);
}

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The password file's line, hashed as htpasswd would (apr1).
QByteArray passwordLine(const QByteArray& user, const QByteArray& password)
{
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("passwd"), QStringLiteral("-apr1"), QStringLiteral("-stdin")});
    openssl.write(password + '\n');
    openssl.closeWriteChannel();
    return openssl.waitForFinished(StartMs) ? user + ':' + openssl.readAllStandardOutput() : QByteArray();
}
} // namespace

bool SquidProxy::start(ProcessSet& processes, const QByteArray& user, const QByteArray& password)
{
    m_port = closedPort();
    const QByteArray folder = QFile::encodeName(m_folder.path());
    const QByteArray login = passwordLine(user, password);
    // Started as root, squid runs as its own user, which writes the logs here.
    QFile::setPermissions(m_folder.path(), QFile::Permissions(0x7777));
    const QByteArray config = "http_port 127.0.0.1:" + QByteArray::number(m_port) + "\nauth_param basic program "
        + LoginHelper + ' ' + folder + "/passwd\nacl login proxy_auth REQUIRED\nhttp_access allow login\n"
        + "http_access deny all\ncache deny all\ncache_mem 0 MB\naccess_log stdio:" + folder + "/access.log\ncache_log "
        + folder + "/cache.log\npid_filename none\ncoredump_dir " + folder + "\nshutdown_lifetime 0 seconds\n";
    if (m_port == 0 || login.isEmpty() || !writeFile(m_folder.filePath(QStringLiteral("passwd")), login)
        || !writeFile(m_folder.filePath(QStringLiteral("squid.conf")), config)) {
        return false;
    }
    // -N: in the foreground, so the process set ends it.
    QProcess* proxy =
        processes.start(QStringLiteral("squid"),
                        {QStringLiteral("-N"), QStringLiteral("-f"), m_folder.filePath(QStringLiteral("squid.conf"))});
    return QTest::qWaitFor([&] { return proxy->state() == QProcess::Running && listens(m_port); }, StartMs);
}

QByteArray SquidProxy::address() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}

QByteArray SquidProxy::accessLog() const
{
    QFile file(m_folder.filePath(QStringLiteral("access.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
