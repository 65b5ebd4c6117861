#include "TestData.h"

#include <QCryptographicHash>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QVector>

namespace {
const int WriteBlockBytes = 1024 * 1024;
} // namespace

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

bool writeRandomFile(const QString& path, qint64 size, quint32 seed)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QRandomGenerator random(seed);
    QVector<quint32> block(WriteBlockBytes / sizeof(quint32));
    for (qint64 left = size; left > 0;) {
        random.fillRange(block.data(), block.size());
        const qint64 bytes = qMin<qint64>(left, WriteBlockBytes);
        if (file.write(reinterpret_cast<const char*>(block.constData()), bytes) != bytes) {
            return false;
        }
        left -= bytes;
    }
    return file.flush();
}
} // namespace TestData
