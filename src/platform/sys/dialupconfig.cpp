#include "platform/sys/dialupconfig.h"

#include "platform/sys/configtable.h"

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists Dialup_conf (key integer primary key, value blob)";
}

bool DialupConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE);
}

} // namespace sys
