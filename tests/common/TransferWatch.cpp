#include "TransferWatch.h"

#include "core/transfer/TransferAgent.h"

#include <QtTest>

namespace {
const int TransferTimeoutMs = 180000;
} // namespace

namespace TransferWatch {
QJsonObject transfer(const TransferAgent& agent, const QString& id)
{
    for (const QJsonValue& value : agent.list()) {
        if (value.toObject().value(QStringLiteral("id")).toString() == id) {
            return value.toObject();
        }
    }
    return {};
}

bool waitForState(const TransferAgent& agent, const QString& id, const QString& state)
{
    const bool reached = QTest::qWaitFor(
        [&] { return transfer(agent, id).value(QStringLiteral("state")).toString() == state; }, TransferTimeoutMs);
    if (!reached) {
        qWarning() << "transfer" << id << "is" << transfer(agent, id);
    }
    return reached;
}

bool waitForBytes(const TransferAgent& agent, const QString& id)
{
    return QTest::qWaitFor([&] { return transfer(agent, id).value(QStringLiteral("bytesDone")).toDouble() > 0; },
                           TransferTimeoutMs);
}
} // namespace TransferWatch
