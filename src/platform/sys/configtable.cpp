#include "platform/sys/configtable.h"

#include "platform/logging.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace sys {

namespace {

bool execLogged(QSqlQuery& query, const char* statement)
{
    if (query.exec())
        return true;
    qCDebug(lcConfig) << "system config:" << statement << "failed:" << query.lastError().text();
    return false;
}

} // namespace

const ConfigTable ConfigTable::Dict{
    "create table if not exists dict_conf (key text primary key, value text )",
    "create index if not exists key_index on dict_conf (key) "};
const ConfigTable ConfigTable::PowerManagement{
    "create table if not exists power_management (key text primary key, value text )",
    "create index if not exists key_index on power_management (key) ",
    "select value from power_management where key = ? ",
    "INSERT OR REPLACE into power_management (key, value) values(?, ?)"};
const ConfigTable ConfigTable::Locale{
    "create table if not exists locale_conf (key text primary key, value text )",
    "create index if not exists key_index on locale_conf (key) "};
const ConfigTable ConfigTable::Services{
    "create table if not exists services (extension text primary key, service text, "
    "object text, interface text, method text, app text )",
    "create index if not exists key_index on services (extension) "};
const ConfigTable ConfigTable::Volume{
    "create table if not exists volume (key text primary key, value text )",
    "create index if not exists key_index on volume (key) "};
const ConfigTable ConfigTable::Wifi{
    "create table if not exists wifi_conf (key integer primary key, value blob)"};
const ConfigTable ConfigTable::Dialup{
    "create table if not exists Dialup_conf (key integer primary key, value blob)"};
const ConfigTable ConfigTable::Device{
    "create table if not exists device_conf (key text primary key, value text )", nullptr,
    "select value from device_conf where key = ?",
    "INSERT OR REPLACE into device_conf (key, value) values(?, ?)"};
const ConfigTable ConfigTable::PageTurning{
    "create table if not exists page_turning_conf (key text primary key, value text )"};
const ConfigTable ConfigTable::Fonts{
    "create table if not exists fonts (key text primary key, value text )",
    "create index if not exists key_index on fonts (key) "};
const ConfigTable ConfigTable::Misc{
    "create table if not exists misc_conf (key text primary key, value text )",
    "create index if not exists key_index on misc_conf (key) "};

const ConfigTable* const ConfigTable::All[] = {
    &Dict, &PowerManagement, &Locale, &Services, &Volume, &Wifi,
    &Dialup, &Device, &PageTurning, &Fonts, &Misc,
};
const int ConfigTable::Count = int(sizeof All / sizeof All[0]);

bool ConfigTable::create(QSqlDatabase& db) const
{
    QSqlQuery query(db);
    for (const char* statement : {createTable, createIndex}) {
        if (statement && !query.exec(QLatin1String(statement))) {
            qCDebug(lcConfig) << "system config:" << statement << "failed:"
                              << query.lastError().text();
            return false;
        }
    }
    return true;
}

bool ConfigTable::value(QSqlDatabase& db, const QVariant& key, QVariant& value) const
{
    QSqlQuery query(db);
    if (!selectValue || !query.prepare(QLatin1String(selectValue)))
        return false;
    query.addBindValue(key);
    if (!execLogged(query, selectValue) || !query.next())
        return false;
    value = query.value(0);
    return true;
}

bool ConfigTable::setValue(QSqlDatabase& db, const QVariant& key, const QVariant& value) const
{
    QSqlQuery query(db);
    if (!writeValue || !query.prepare(QLatin1String(writeValue)))
        return false;
    query.addBindValue(key);
    query.addBindValue(value);
    return execLogged(query, writeValue);
}

} // namespace sys
