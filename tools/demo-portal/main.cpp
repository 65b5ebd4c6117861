// norv-demo-portal: a stand-in for the enterprise portal's web application, serving a
// login page, a version file and a few test pages on 127.0.0.1 for tests and the demo.

#include "PortalOptions.h"
#include "PortalServer.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {
int fail(const QString& reason)
{
    QTextStream(stderr) << QCoreApplication::applicationName() << ": " << reason << Qt::endl;
    return EXIT_FAILURE;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("norv-demo-portal"));
    QString error;
    const std::optional<PortalOptions> options = PortalOptions::parse(QCoreApplication::arguments(), error);
    if (!options) {
        return fail(error);
    }
    PortalServer server(*options);
    if (!server.start(error)) {
        return fail(error);
    }
    // Scripts and tests read the port from this line, so it goes out at once.
    QTextStream(stdout) << "listening on " << server.serverPort() << Qt::endl;
    return QCoreApplication::exec();
}
