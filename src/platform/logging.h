#pragma once

#include <QLoggingCategory>

// Debug lines of the device libraries are off unless asked for, e.g.
// QT_LOGGING_RULES="lirro.screen.debug=true"; warnings always show.
Q_DECLARE_LOGGING_CATEGORY(lcScreen)
Q_DECLARE_LOGGING_CATEGORY(lcSys)
Q_DECLARE_LOGGING_CATEGORY(lcConfig)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcCms)
Q_DECLARE_LOGGING_CATEGORY(lcNetwork)
