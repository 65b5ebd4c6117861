// Prints the device id the core services report, so a test can compare it across processes.
#include "core/TesselCore.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString appKey = app.arguments().value(1);
    TesselCore core(appKey, 1);
    QTextStream(stdout) << core.Get_Deviceuuid() << '\n';
    return 0;
}
