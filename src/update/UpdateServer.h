#ifndef UPDATESERVER_H
#define UPDATESERVER_H

#include <QUrl>

// Where the published version file lives.
namespace UpdateServer {
// https:// + host + the fixed path. The host is chosen at build time and may be replaced
// at run time (host or host:port) by the environment variable NORV_UPDATE_HOST, for
// tests and staging.
QUrl versionFileUrl();
} // namespace UpdateServer

#endif // UPDATESERVER_H
