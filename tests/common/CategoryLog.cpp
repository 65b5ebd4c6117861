#include "CategoryLog.h"

#include <QLoggingCategory>
#include <QMutex>

namespace {
QMutex mutex;
QString watched;
QStringList kept;
QtMessageHandler previous = nullptr;

void keep(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg && context.category && watched == QLatin1String(context.category)) {
        const QMutexLocker lock(&mutex);
        kept.append(message);
        return;
    }
    previous(type, context, message);
}
} // namespace

CategoryLog::CategoryLog(const char* category)
{
    {
        const QMutexLocker lock(&mutex);
        watched = QString::fromLatin1(category);
        kept.clear();
    }
    previous = qInstallMessageHandler(keep);
    QLoggingCategory::setFilterRules(watched + QStringLiteral(".debug=true"));
}

CategoryLog::~CategoryLog()
{
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);
}

QStringList CategoryLog::linesWith(const QString& text) const
{
    const QMutexLocker lock(&mutex);
    return kept.filter(text);
}
