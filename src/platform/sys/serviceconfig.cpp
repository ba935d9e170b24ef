#include "platform/sys/serviceconfig.h"

#include "platform/sys/configtable.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists services (extension text primary key, service text, "
    "object text, interface text, method text, app text )";
const char CREATE_INDEX[] = "create index if not exists key_index on services (extension) ";
const char WRITE_SERVICE[] =
    "insert or replace into services (extension, service, object, interface, method, app)"
    "  values (?, ?, ?, ?, ?, ?)";
const char SELECT_SERVICE[] =
    "select service, object, interface, method, app from services where extension = ?";

const char VEXA_READER[] = "vexa_reader";
const char TEXT_EDITOR[] = "text_editor";
const char OFFICE_VIEWER[] = "office_viewer";
}

bool ServiceConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE, CREATE_INDEX);
}

bool ServiceConfig::registerService(QSqlDatabase& db, const QString& extension,
                                    const Service& service)
{
    QSqlQuery query(db);
    if (!query.prepare(QLatin1String(WRITE_SERVICE)))
        return false;
    query.addBindValue(extension);
    query.addBindValue(service.serviceName());
    query.addBindValue(service.objectPath());
    query.addBindValue(service.interfaceName());
    query.addBindValue(service.methodName());
    query.addBindValue(service.appName());
    return query.exec();
}

bool ServiceConfig::queryService(QSqlDatabase& db, const QString& extension,
                                 Service& service)
{
    QSqlQuery query(db);
    if (!query.prepare(QLatin1String(SELECT_SERVICE)))
        return false;
    query.addBindValue(extension);
    if (!query.exec() || !query.next())
        return false;
    service = Service(QStringList(extension), query.value(0).toString(),
                      query.value(1).toString(), query.value(2).toString(),
                      query.value(3).toString(), query.value(4).toString());
    return true;
}

const Service& ServiceConfig::vexaReaderService()
{
    static const Service service = Service::fromAppName(QLatin1String(VEXA_READER));
    return service;
}

const Service& ServiceConfig::writePadService()
{
    static const Service service = Service::fromAppName(QLatin1String(TEXT_EDITOR));
    return service;
}

const Service& ServiceConfig::officeViewerService()
{
    static const Service service = Service::fromAppName(QLatin1String(OFFICE_VIEWER));
    return service;
}

} // namespace sys
