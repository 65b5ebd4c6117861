#ifndef TESTDATA_H
#define TESTDATA_H

#include <QByteArray>
#include <QString>

// The documents in tests/data/.
namespace TestData {
QString path(const char* name);
QByteArray read(const char* name);
// An update server's version file publishing this version and download address.
QByteArray versionFile(const QString& version, const QString& downloadUrl = QStringLiteral("https://dl.example/c"));
// Writes a file of size pseudo-random bytes drawn from seed, creating its folder; false on failure.
bool writeRandom(const QString& path, qint64 size, quint32 seed);
// The SHA-256 of a file, in hexadecimal; empty when it cannot be read.
QByteArray sha256Of(const QString& path);
} // namespace TestData

#endif // TESTDATA_H
