#pragma once

#include <QLoggingCategory>

// Debug lines of the Wi-Fi client are off unless asked for:
// QT_LOGGING_RULES="lirro.network.debug=true"; warnings always show.
Q_DECLARE_LOGGING_CATEGORY(lcNetwork)
