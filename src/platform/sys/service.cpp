#include "platform/sys/service.h"

#include "platform/sys/dbusnames.h"

namespace sys {

Service::Service() = default;

Service::Service(const QStringList& extensions, const QString& serviceName,
                 const QString& objectPath, const QString& interfaceName,
                 const QString& methodName, const QString& appName, bool flag)
    : extensionList(extensions)
    , service(serviceName)
    , object(objectPath)
    , iface(interfaceName)
    , method(methodName)
    , app(appName)
    , flagSet(flag)
{
}

bool Service::operator==(const Service& other) const
{
    return service == other.service;
}

Service Service::fromAppName(const QString& appName)
{
    return Service(QStringList(), QLatin1String(dbus::ServicePrefix) + appName,
                   QLatin1String(dbus::ObjectPrefix) + appName,
                   QLatin1String(dbus::InterfacePrefix) + appName,
                   QLatin1String(dbus::OpenMethod), appName);
}

} // namespace sys
