#include "UpdateServer.h"

namespace {
const char* const BuiltInHost = NORV_UPDATE_HOST;
const QString VersionFilePath = QStringLiteral("/enterprise/release/3.0/version.json");
} // namespace

namespace UpdateServer {
QUrl versionFileUrl()
{
    const QString overridden = qEnvironmentVariable("NORV_UPDATE_HOST");
    const QString host = overridden.isEmpty() ? QString::fromLatin1(BuiltInHost) : overridden;
    return QUrl(QStringLiteral("https://") + host + VersionFilePath);
}
} // namespace UpdateServer
