#include "DeviceId.h"
#include "CoreLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUuid>

namespace {
// Namespace for the name-based ids; fixed forever, or every device id changes.
const QUuid DeviceNamespace(QStringLiteral("{6b2d6f0e-3c1a-5e8b-9f47-0d2e8a61c4b3}"));
const char* const DeviceIdFileName = "device-id";
// A UUID's text is 36 characters; anything much larger in the file is not ours.
const qint64 MaxIdFileSize = 64;

QString uuidText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces);
}

QString readKeptId(const QString& filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxIdFileSize) {
        return {};
    }
    const QUuid uuid(QString::fromLatin1(file.readAll().trimmed()));
    return uuid.isNull() ? QString() : uuidText(uuid);
}

bool keepId(const QString& filePath, const QString& id)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(id.toLatin1() + '\n');
    return file.commit();
}
} // namespace

QString DeviceId::current(const QString& appKey)
{
    const QByteArray machineId = QSysInfo::machineUniqueId();
    if (!machineId.isEmpty()) {
        return fromMachineId(machineId, appKey);
    }
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return fromFile(dataDir + QLatin1Char('/') + QLatin1String(DeviceIdFileName));
}

QString DeviceId::fromMachineId(const QByteArray& machineId, const QString& appKey)
{
    return uuidText(QUuid::createUuidV5(DeviceNamespace, appKey.toUtf8() + ':' + machineId));
}

QString DeviceId::fromFile(const QString& filePath)
{
    const QString kept = readKeptId(filePath);
    if (!kept.isEmpty()) {
        return kept;
    }
    const QString fresh = uuidText(QUuid::createUuid());
    if (!keepId(filePath, fresh)) {
        qCWarning(lcCore) << "DeviceId: cannot keep the device id in" << filePath;
    }
    return fresh;
}
