#include "VersionCompare.h"
#include "app/Logging.h"

#include <QStringList>

namespace {
const int ComparedFields = 3;
} // namespace

namespace VersionCompare {
QString numberPart(const QString& version)
{
    return version.section(QLatin1Char(' '), 0, 0);
}

Result compare(const QString& published, const QString& running)
{
    const QString server = numberPart(published);
    const QString client = numberPart(running);
    // Fixed debug texts, kept word for word.
    qCDebug(lcUpdate) << "sVersionServer" << server;
    qCDebug(lcUpdate) << "sVersionClient" << client;
    const QStringList serverFields = server.split(QLatin1Char('.'));
    const QStringList clientFields = client.split(QLatin1Char('.'));
    qCDebug(lcUpdate) << serverFields.size() << clientFields.size() << serverFields << clientFields;
    if (serverFields.size() < ComparedFields || clientFields.size() < ComparedFields) {
        return Result::Unreadable;
    }
    // Numeric, field by field: 10.0.0 is newer than 9.0.0; a field that is not a number counts as 0.
    for (int field = 0; field < ComparedFields; ++field) {
        const int publishedNumber = serverFields.at(field).toInt();
        const int runningNumber = clientFields.at(field).toInt();
        if (publishedNumber != runningNumber) {
            return publishedNumber > runningNumber ? Result::Newer : Result::NotNewer;
        }
    }
    return Result::NotNewer;
}
} // namespace VersionCompare
