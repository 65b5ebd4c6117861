#include "Logging.h"

Q_LOGGING_CATEGORY(lcApp, "norv.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConfig, "norv.config", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWeb, "norv.web", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUpdate, "norv.update", QtInfoMsg)
