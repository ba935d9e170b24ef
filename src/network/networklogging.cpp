#include "network/networklogging.h"

Q_LOGGING_CATEGORY(lcNetwork, "lirro.network", QtInfoMsg)
