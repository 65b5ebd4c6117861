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
// The SHA-256 of a file, in hexadecimal; empty when it cannot be read.
QByteArray sha256Of(const QString& path);
// Writes size bytes drawn from the seed, creating the folders; false when it cannot.
bool writeRandomFile(const QString& path, qint64 size, quint32 seed);
} // namespace TestData

#endif // TESTDATA_H
