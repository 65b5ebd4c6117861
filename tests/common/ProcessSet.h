#ifndef PROCESSSET_H
#define PROCESSSET_H

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <memory>
#include <vector>

// Processes started by a test; whatever still runs is killed when the set goes away.
class ProcessSet
{
public:
    ProcessSet() = default;
    ~ProcessSet();
    ProcessSet(const ProcessSet&) = delete;
    ProcessSet& operator=(const ProcessSet&) = delete;

    // The client's local service asks for any free port, so tests never collide on it;
    // settings holds variables to set on top of that, or instead.
    QProcess* start(const QString& program,
                    const QStringList& arguments = {},
                    const QProcessEnvironment& settings = QProcessEnvironment());

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// The client writes this line once it is past the single-instance guard and has started its services.
extern const QByteArray ClientStartedLine;
const int ClientStartTimeoutMs = 60000;

// Waits until the process's standard error holds line; false if it ends or time runs out first.
// What was read, the line and whatever came with it, is appended to seen when given.
bool waitForStandardError(QProcess* process,
                          const QByteArray& line,
                          int timeoutMs = ClientStartTimeoutMs,
                          QByteArray* seen = nullptr);

#endif // PROCESSSET_H
