#include "PrivateDisplay.h"

namespace {
const int StartMs = 10000;
// Room for the client's windows at twice their size.
const QString ScreenGeometry = QStringLiteral("2560x1600x24");
} // namespace

PrivateDisplay::PrivateDisplay(const QByteArray& resources)
{
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"),
                    QStringLiteral("1"),
                    QStringLiteral("-screen"),
                    QStringLiteral("0"),
                    ScreenGeometry,
                    QStringLiteral("-nolisten"),
                    QStringLiteral("tcp"),
                    // Otherwise the server starts afresh, resources gone, each time its last client leaves.
                    QStringLiteral("-noreset")});
    if (!m_server.waitForReadyRead(StartMs)) {
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(m_server.readLine().trimmed());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    if (!resources.isEmpty()) {
        QProcess loader;
        loader.setProcessEnvironment(environment);
        loader.start(QStringLiteral("xrdb"), {QStringLiteral("-merge")});
        loader.write(resources + '\n');
        loader.closeWriteChannel();
        loader.waitForFinished(StartMs);
    }
    m_windowManager.setProcessEnvironment(environment);
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
}

PrivateDisplay::~PrivateDisplay()
{
    m_windowManager.kill();
    m_windowManager.waitForFinished();
    m_server.kill();
    m_server.waitForFinished();
}
