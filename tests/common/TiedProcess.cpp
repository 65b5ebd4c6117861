#include "TiedProcess.h"

void startTiedToTest(QProcess& process, const QString& program, const QStringList& arguments)
{
    // setpriv sets the parent-death signal and then becomes program (same process id).
    process.start(QStringLiteral("setpriv"),
                  QStringList {QStringLiteral("--pdeathsig"), QStringLiteral("KILL"), QStringLiteral("--"), program}
                      + arguments);
}
