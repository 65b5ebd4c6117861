// The server list reader on arbitrary bytes: whatever it accepts must survive a write and a
// second read unchanged.
#include "config/ServerConfigFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QVector<ServerEntry> servers;
    if (!ServerConfigFile::parse(QByteArray(reinterpret_cast<const char*>(data), int(size)), servers)) {
        return 0;
    }
    QVector<ServerEntry> reread;
    if (!ServerConfigFile::parse(ServerConfigFile::serialize(servers), reread) || reread.size() != servers.size()) {
        std::abort();
    }
    return 0;
}
