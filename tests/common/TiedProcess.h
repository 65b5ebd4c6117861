#ifndef TIEDPROCESS_H
#define TIEDPROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

// Starts program so that the kernel kills it when the test that started it ends, even by a
// crash or a kill: an orphaned server or client would hold its port and files for later tests.
void startTiedToTest(QProcess& process, const QString& program, const QStringList& arguments);

#endif // TIEDPROCESS_H
