#include "platform/sys/pageturningconfig.h"

#include "platform/sys/configtable.h"

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists page_turning_conf (key text primary key, value text )";
}

bool PageTurningConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE);
}

} // namespace sys
