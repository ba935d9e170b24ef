#include "platform/sys/service.h"

namespace sys {

namespace {
const char SERVICE_PREFIX[] = "com.vexa.service.";
const char OBJECT_PREFIX[] = "/com/vexa/object/";
const char INTERFACE_PREFIX[] = "com.vexa.interface.";
const char OPEN_METHOD[] = "open";
}

Service::Service()
    : m_flag(false)
{
}

Service::Service(const QStringList& extensions, const QString& serviceName,
                 const QString& objectPath, const QString& interfaceName,
                 const QString& methodName, const QString& appName, bool flag)
    : m_extensions(extensions)
    , m_serviceName(serviceName)
    , m_objectPath(objectPath)
    , m_interfaceName(interfaceName)
    , m_methodName(methodName)
    , m_appName(appName)
    , m_flag(flag)
{
}

bool Service::operator==(const Service& other) const
{
    return m_serviceName == other.m_serviceName;
}

Service Service::fromAppName(const QString& appName)
{
    return Service(QStringList(), QLatin1String(SERVICE_PREFIX) + appName,
                   QLatin1String(OBJECT_PREFIX) + appName,
                   QLatin1String(INTERFACE_PREFIX) + appName,
                   QLatin1String(OPEN_METHOD), appName);
}

} // namespace sys
