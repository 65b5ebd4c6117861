// bench-agent: the client's core services without its windows, for scripts/bench transfer.
// It builds the core, the transfer agent and the local service as the client's start-up
// does, with the client's heap policy, hands the given paths over as if they had been
// dropped into the window, and serves the local API until it is ended. Once listening it
// writes "port <port> device <device id> pid <process id>" on a line of standard output.
//
//     NORV_HTTPD_PORT=0 bench-agent PATH...
#include "app/Product.h"
#include "core/TesselCore.h"
#include "core/TesselHttpd.h"
#include "core/TesselPortal.h"
#include "platform/MemoryPolicy.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
const int StartTimeoutMs = 10000;
} // namespace

int main(int argc, char** argv)
{
    MemoryPolicy::apply();
    QCoreApplication app(argc, argv);
    TesselCore core(QString::fromLatin1(CoreApplicationKey), CoreClientKind);
    TesselPortal portal(&core);
    TesselHttpd httpd(&core, &portal);
    if (httpd.StartHttpdServer(StartTimeoutMs) != 0) {
        QTextStream(stderr) << "bench-agent: the local service did not start" << Qt::endl;
        return 1;
    }
    const QStringList paths = QCoreApplication::arguments().mid(1);
    for (const QString& path : paths) {
        portal.grantDroppedPath(path);
    }
    QTextStream(stdout) << "port " << httpd.port() << " device " << core.Get_Deviceuuid() << " pid "
                        << QCoreApplication::applicationPid() << Qt::endl;
    return app.exec();
}
