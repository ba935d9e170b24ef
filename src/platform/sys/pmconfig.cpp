#include "platform/sys/pmconfig.h"

#include "platform/sys/configtable.h"

#include <QByteArray>
#include <QVariant>

namespace sys {

namespace {

const char SuspendKey[] = "suspend_interval";
const char ShutdownKey[] = "shutdown_interval";
const char SuspendVariable[] = "SUSPEND_INTERVAL";
const char ShutdownVariable[] = "SHUTDOWN_INTERVAL";
const int FallbackSuspendMs = 300000;

int readInterval(QSqlDatabase& db, const char* key, int fallback)
{
    QVariant value;
    if (ConfigTable::PowerManagement.value(db, QLatin1String(key), value))
        return value.toInt();
    return fallback;
}

} // namespace

int PMConfig::defaultSuspendInterval()
{
    bool ok = false;
    const int ms = qEnvironmentVariable(SuspendVariable).toInt(&ok);
    return ok && ms > 0 ? ms : FallbackSuspendMs;
}

int PMConfig::defaultShutdownInterval()
{
    const int ms = qEnvironmentVariable(ShutdownVariable).toInt();
    return ms < 0 ? 0 : ms;
}

int PMConfig::suspendInterval(QSqlDatabase& db)
{
    return readInterval(db, SuspendKey, defaultSuspendInterval());
}

bool PMConfig::setSuspendInterval(QSqlDatabase& db, int ms)
{
    return ConfigTable::PowerManagement.setValue(db, QLatin1String(SuspendKey), ms);
}

int PMConfig::shutdownInterval(QSqlDatabase& db)
{
    return readInterval(db, ShutdownKey, defaultShutdownInterval());
}

bool PMConfig::setShutdownInterval(QSqlDatabase& db, int ms)
{
    return ConfigTable::PowerManagement.setValue(db, QLatin1String(ShutdownKey), ms);
}

} // namespace sys
