#include "ProcessSet.h"

#include "TiedProcess.h"
#include "app/OutputLines.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>

const QByteArray ClientStartedLine(OutputLines::ServicesStarted);

ProcessSet::~ProcessSet()
{
    for (auto& process : m_processes) {
        process->kill();
        process->waitForFinished(5000);
    }
}

QProcess* ProcessSet::start(const QString& program, const QStringList& arguments, const QProcessEnvironment& settings)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NORV_HTTPD_PORT"), QStringLiteral("0"));
    environment.insert(settings);
    process->setProcessEnvironment(environment);
    startTiedToTest(*process, program, arguments);
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

bool waitForStandardError(QProcess* process, const QByteArray& line, int timeoutMs, QByteArray* seen)
{
    QByteArray read;
    QElapsedTimer timer;
    timer.start();
    bool found = false;
    while (!found && timer.elapsed() < timeoutMs && process->state() != QProcess::NotRunning) {
        process->waitForReadyRead(200);
        read += process->readAllStandardError();
        found = read.contains(line);
    }
    if (seen) {
        *seen += read;
    }
    return found;
}
