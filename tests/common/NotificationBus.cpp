#include "NotificationBus.h"

#include "ProcessSet.h"
#include "TestData.h"

#include <QTest>

namespace {
const int StartTimeoutMs = 20000;
const QString BusVariable = QStringLiteral("DBUS_SESSION_BUS_ADDRESS");
const QString NotificationService = QStringLiteral("org.freedesktop.Notifications");

// Whether a service of that name is on the bus, asked with dbus-send.
bool serviceRuns(const QProcessEnvironment& environment, const QString& name)
{
    QProcess ask;
    ask.setProcessEnvironment(environment);
    ask.start(QStringLiteral("dbus-send"),
              {QStringLiteral("--session"),
               QStringLiteral("--print-reply"),
               QStringLiteral("--dest=org.freedesktop.DBus"),
               QStringLiteral("/org/freedesktop/DBus"),
               QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
               QStringLiteral("string:") + name});
    ask.waitForFinished(StartTimeoutMs);
    return ask.readAllStandardOutput().contains("boolean true");
}
} // namespace

bool NotificationBus::start(ProcessSet& processes, bool withDaemon)
{
    QProcess* bus = processes.start(QStringLiteral("dbus-daemon"),
                                    {QStringLiteral("--config-file=") + TestData::path("session-bus.conf"),
                                     QStringLiteral("--nofork"),
                                     QStringLiteral("--print-address=1")});
    if (!bus->waitForReadyRead(StartTimeoutMs)) {
        return false;
    }
    m_address = QString::fromLatin1(bus->readLine().trimmed());
    m_monitor = processes.start(QStringLiteral("dbus-monitor"), {QStringLiteral("--session")}, environment());
    if (!QTest::qWaitFor([this] { return monitored().contains("NameAcquired"); }, StartTimeoutMs)) {
        return false;
    }
    if (!withDaemon) {
        return true;
    }
    processes.start(QStringLiteral("dunst"), {}, environment());
    return QTest::qWaitFor([this] { return serviceRuns(environment(), NotificationService); }, StartTimeoutMs);
}

QProcessEnvironment NotificationBus::environment() const
{
    QProcessEnvironment environment;
    environment.insert(BusVariable, m_address);
    return environment;
}

QByteArray NotificationBus::monitored()
{
    m_seen += m_monitor->readAllStandardOutput();
    return m_seen;
}

void NotificationBus::clickNewest()
{
    QProcess control;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(BusVariable, m_address);
    control.setProcessEnvironment(environment);
    control.start(QStringLiteral("dunstctl"), {QStringLiteral("action"), QStringLiteral("0")});
    control.waitForFinished(StartTimeoutMs);
}
