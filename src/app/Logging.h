#ifndef LOGGING_H
#define LOGGING_H

#include <QLoggingCategory>

// The client's debug lines, by area. They are off by default; turn them on without
// rebuilding, for example QT_LOGGING_RULES="norv.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
Q_DECLARE_LOGGING_CATEGORY(lcWeb)
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)

#endif // LOGGING_H
