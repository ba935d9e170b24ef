#include "platform/sys/serviceconfig.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

namespace sys {

namespace {

const char WriteService[] =
    "insert or replace into services (extension, service, object, interface, method, app)"
    "  values (?, ?, ?, ?, ?, ?)";
const char SelectService[] =
    "select service, object, interface, method, app from services where extension = ?";

const char VexaReader[] = "vexa_reader";
const char TextEditor[] = "text_editor";
const char OfficeViewer[] = "office_viewer";

} // namespace

bool ServiceConfig::registerService(QSqlDatabase& db, const QString& extension,
                                    const Service& service)
{
    QSqlQuery query(db);
    if (!query.prepare(QLatin1String(WriteService)))
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
    if (!query.prepare(QLatin1String(SelectService)))
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
    static const Service service = Service::fromAppName(QLatin1String(VexaReader));
    return service;
}

const Service& ServiceConfig::writePadService()
{
    static const Service service = Service::fromAppName(QLatin1String(TextEditor));
    return service;
}

const Service& ServiceConfig::officeViewerService()
{
    static const Service service = Service::fromAppName(QLatin1String(OfficeViewer));
    return service;
}

} // namespace sys
