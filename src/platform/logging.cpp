#include "platform/logging.h"

Q_LOGGING_CATEGORY(lcScreen, "lirro.screen", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSys, "lirro.sys", QtInfoMsg)
Q_LOGGING_CATEGORY(lcConfig, "lirro.config", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "lirro.ui", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCms, "lirro.cms", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNetwork, "lirro.network", QtInfoMsg)
