#ifndef TRANSFERWATCH_H
#define TRANSFERWATCH_H

#include <QJsonObject>
#include <QString>

class TransferAgent;

// Reads an in-process transfer agent's list as the page does, and waits for a transfer to
// reach a state while the test's event loop runs.
namespace TransferWatch {
QJsonObject transfer(const TransferAgent& agent, const QString& id);
// False, with the transfer's last figures logged, when it does not get there in time.
bool waitForState(const TransferAgent& agent, const QString& id, const QString& state);
// Waits until some of the transfer's bytes have moved.
bool waitForBytes(const TransferAgent& agent, const QString& id);
} // namespace TransferWatch

#endif // TRANSFERWATCH_H
