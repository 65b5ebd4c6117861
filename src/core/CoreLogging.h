#ifndef CORELOGGING_H
#define CORELOGGING_H

#include <QLoggingCategory>

// The core services' debug lines; off by default, QT_LOGGING_RULES="tessel.*.debug=true" shows them.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
Q_DECLARE_LOGGING_CATEGORY(lcHttpd)
Q_DECLARE_LOGGING_CATEGORY(lcTransfer)

#endif // CORELOGGING_H
