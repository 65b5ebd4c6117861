#include "CoreLogging.h"

Q_LOGGING_CATEGORY(lcCore, "tessel.core", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHttpd, "tessel.httpd", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTransfer, "tessel.transfer", QtInfoMsg)
