// bench-agent: the client's core services without its windows, for scripts/bench transfer.
// It builds the core, the transfer agent and the local service as the client's start-up
// does, with the client's heap policy, hands the given paths over as if they had been
// dropped into the window, and serves the local API until it is ended. Once listening it
// writes "port <port> device <device id> pid <process id>" on a line of standard output.
// The portal loaded is BENCH_PORTAL_ORIGIN (only its pages may move files); a proxy that asks
// for a login is given BENCH_PROXY_LOGIN ("user:password"), as a user would.
//
//     NORV_HTTPD_PORT=0 bench-agent PATH...
#include "app/Product.h"
#include "core/ProxyLogin.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "platform/MemoryPolicy.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
const int StartTimeoutMs = 10000;

// Answers a proxy's 407 with BENCH_PROXY_LOGIN; without it the exchange fails, as when a user cancels.
void answerProxyLogin(ProxyLogin* proxyLogin)
{
    const QString login = qEnvironmentVariable("BENCH_PROXY_LOGIN");
    proxyLogin->setAsker([login](const QString&, QString* user, QString* password) {
        *user = login.section(QLatin1Char(':'), 0, 0);
        *password = login.section(QLatin1Char(':'), 1);
        return !login.isEmpty();
    });
}
} // namespace

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    QCoreApplication app(argc, argv);
    TesselCore core(QString::fromLatin1(CoreApplicationKey), CoreClientKind);
    ProxyLogin proxyLogin;
    answerProxyLogin(&proxyLogin);
    TesselPortal portal(&core, &proxyLogin);
    TesselHttpd httpd(&core, &portal);
    if (httpd.StartHttpdServer(StartTimeoutMs) != 0) {
        QTextStream(stderr) << "bench-agent: the local service did not start" << Qt::endl;
        return 1;
    }
    portal.setPortalOrigins({}, QUrl(qEnvironmentVariable("BENCH_PORTAL_ORIGIN")));
    const QStringList paths = QCoreApplication::arguments().mid(1);
    for (const QString& path : paths) {
        portal.grantDroppedPath(path);
    }
    QTextStream(stdout) << "port " << httpd.port() << " device " << core.Get_Deviceuuid() << " pid "
                        << QCoreApplication::applicationPid() << Qt::endl;
    return app.exec();
}
