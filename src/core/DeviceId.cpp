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
// The id identifies the user's device to the portal: other accounts must not read it.
const QFileDevice::Permissions OwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions OwnerOnlyFolder = OwnerOnlyFile | QFileDevice::ExeOwner;

QString uuidText(const QUuid& uuid)
{
    return uuid.toString(QUuid::WithoutBraces);
}

QString readKeptId(const QString& filePath)
{
    QFile file(filePath);
    // Kept by an earlier version, perhaps readable by everyone.
    if (file.exists()) {
        file.setPermissions(OwnerOnlyFile);
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxIdFileSize) {
        return {};
    }
    const QUuid uuid(QString::fromLatin1(file.readAll().trimmed()));
    return uuid.isNull() ? QString() : uuidText(uuid);
}

bool keepId(const QString& filePath, const QString& id)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir(folder).exists()) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, OwnerOnlyFolder);
    }
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.setPermissions(OwnerOnlyFile);
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
