#include "platform/sys/fontconfig.h"

#include "platform/sys/configtable.h"

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists fonts (key text primary key, value text )";
const char CREATE_INDEX[] =
    "create index if not exists key_index on fonts (key) ";
}

bool FontConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE, CREATE_INDEX);
}

} // namespace sys
