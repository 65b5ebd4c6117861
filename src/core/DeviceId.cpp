#include "DeviceId.h"
#include "CoreLogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

namespace {
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

QString DeviceId::current()
{
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return fromFile(dataDir + QLatin1Char('/') + QLatin1String(DeviceIdFileName));
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
