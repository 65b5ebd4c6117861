#include "StatusNotifierWatcher.h"

namespace {
const QString Service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString Path = QStringLiteral("/StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");
} // namespace

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    bus.unregisterService(Service);
    bus.unregisterObject(Path);
    m_thread.quit();
    m_thread.wait();
}

bool StatusNotifierWatcher::start()
{
    const bool registered =
        bus.registerObject(Path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    moveToThread(&m_thread);
    m_thread.start();
    return registered && bus.registerService(Service);
}

QStringList StatusNotifierWatcher::registeredItems() const
{
    QMutexLocker locked(&m_lock);
    return m_items;
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
{
    // Items name either their own bus name or only an object path on the caller's connection.
    const QString item =
        serviceOrPath.startsWith(QLatin1Char('/')) ? message.service() + serviceOrPath : serviceOrPath + ItemPath;
    {
        QMutexLocker locked(&m_lock);
        m_items << item;
    }
}
