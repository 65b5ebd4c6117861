#include "OtherUser.h"

#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

namespace OtherUser {
QString unavailableReason()
{
    if (::geteuid() != 0) {
        return QStringLiteral("running a program as another user needs root");
    }
    if (launcher().isEmpty()) {
        return QStringLiteral("setpriv (util-linux) is not installed");
    }
    // A container may forbid changing users even to root.
    if (QProcess::execute(launcher(), launcherArguments(QStandardPaths::findExecutable(QStringLiteral("true")))) != 0) {
        return QStringLiteral("setpriv cannot switch to uid %1 here").arg(Uid);
    }
    return {};
}

QString launcher()
{
    return QStandardPaths::findExecutable(QStringLiteral("setpriv"));
}

QStringList launcherArguments(const QString& program, const QStringList& arguments)
{
    const QString id = QString::number(Uid);
    return QStringList {QStringLiteral("--reuid=") + id,
                        QStringLiteral("--regid=") + id,
                        QStringLiteral("--clear-groups"),
                        program}
    + arguments;
}
} // namespace OtherUser
