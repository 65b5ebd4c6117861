// The settings reader on arbitrary file contents: it reads through QSettings from the
// data folder, so each input is written there as the settings file and read back.
#include "config/DataDirectory.h"
#include "config/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
const QString ApplicationName = QStringLiteral("fuzz_settings_%1");
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The data folder follows HOME and XDG_DATA_HOME: keep every write inside a temporary folder.
    static QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A new file each time, in a data folder named after the application: QSettings keeps
    // files it has read in a cache of its own.
    static quint64 runs = 0;
    QCoreApplication::setApplicationName(ApplicationName.arg(++runs));
    DataDirectory::ensureExists();
    QFile file(SettingsFile::path());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    SettingsFile::read();
    QDir(DataDirectory::path()).removeRecursively();
    return 0;
}
