#include "TestData.h"

#include <QCryptographicHash>

#include <QDebug>
#include <QFile>

namespace TestData {
QString path(const char* name)
{
    return QStringLiteral(NORV_TEST_DATA_DIR) + QLatin1Char('/') + QLatin1String(name);
}

QByteArray read(const char* name)
{
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning() << "missing test data:" << file.fileName();
        return {};
    }
    return file.readAll();
}

QByteArray versionFile(const QString& version, const QString& downloadUrl)
{
    return QString::fromUtf8(read("version-file.json")).arg(version, downloadUrl).toUtf8();
}

QByteArray sha256Of(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result().toHex() : QByteArray();
}
} // namespace TestData
