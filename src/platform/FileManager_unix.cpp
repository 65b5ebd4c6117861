#include "FileManager.h"
#include "app/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
// The freedesktop.org interface that file managers (Nautilus, Dolphin, Nemo, ...) offer.
const QString Service = QStringLiteral("org.freedesktop.FileManager1");
const QString ObjectPath = QStringLiteral("/org/freedesktop/FileManager1");
const int CallTimeoutMs = 5000;

bool askFileManager(const QString& path)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, ObjectPath, Service, QStringLiteral("ShowItems"));
    call << QStringList {QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCDebug(lcApp) << "FileManager: ShowItems failed:" << reply.errorMessage();
        return false;
    }
    return true;
}
} // namespace

namespace FileManager {
void showFile(const QString& path)
{
    if (!askFileManager(path)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }
}
} // namespace FileManager
