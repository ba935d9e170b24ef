#include "platform/sys/pmconfig.h"

#include "platform/sys/configtable.h"

#include <QByteArray>
#include <QVariant>

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists power_management (key text primary key, value text )";
const char CREATE_INDEX[] =
    "create index if not exists key_index on power_management (key) ";
const char SELECT_VALUE[] = "select value from power_management where key = ? ";
const char WRITE_VALUE[] =
    "INSERT OR REPLACE into power_management (key, value) values(?, ?)";

const char SUSPEND_KEY[] = "suspend_interval";
const char SHUTDOWN_KEY[] = "shutdown_interval";
const char SUSPEND_ENV[] = "SUSPEND_INTERVAL";
const char SHUTDOWN_ENV[] = "SHUTDOWN_INTERVAL";
const int FALLBACK_SUSPEND_MS = 300000;

int readInterval(QSqlDatabase& db, const char* key, int fallback)
{
    QVariant value;
    if (ConfigTable::selectOne(db, SELECT_VALUE, QLatin1String(key), value))
        return value.toInt();
    return fallback;
}

bool writeInterval(QSqlDatabase& db, const char* key, int ms)
{
    return ConfigTable::execTwo(db, WRITE_VALUE, QLatin1String(key), ms);
}
}

bool PMConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE, CREATE_INDEX);
}

int PMConfig::defaultSuspendInterval()
{
    bool ok = false;
    const int ms = qEnvironmentVariable(SUSPEND_ENV).toInt(&ok);
    return ok && ms > 0 ? ms : FALLBACK_SUSPEND_MS;
}

int PMConfig::defaultShutdownInterval()
{
    const int ms = qEnvironmentVariable(SHUTDOWN_ENV).toInt();
    return ms < 0 ? 0 : ms;
}

int PMConfig::suspendInterval(QSqlDatabase& db)
{
    return readInterval(db, SUSPEND_KEY, defaultSuspendInterval());
}

bool PMConfig::setSuspendInterval(QSqlDatabase& db, int ms)
{
    return writeInterval(db, SUSPEND_KEY, ms);
}

int PMConfig::shutdownInterval(QSqlDatabase& db)
{
    return readInterval(db, SHUTDOWN_KEY, defaultShutdownInterval());
}

bool PMConfig::setShutdownInterval(QSqlDatabase& db, int ms)
{
    return writeInterval(db, SHUTDOWN_KEY, ms);
}

} // namespace sys
