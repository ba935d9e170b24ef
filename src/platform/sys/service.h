#ifndef SYS_SERVICE_H
#define SYS_SERVICE_H

#include <QString>
#include <QStringList>
#include <QVector>

namespace sys {

// How the device starts an application: a D-Bus method call on a service,
// plus the application's name and the file extensions it opens.
class Service
{
public:
    Service();
    Service(const QStringList& extensions, const QString& serviceName,
            const QString& objectPath, const QString& interfaceName,
            const QString& methodName, const QString& appName, bool flag = false);

    const QStringList& extensions() const { return m_extensions; }
    const QString& serviceName() const { return m_serviceName; }
    const QString& objectPath() const { return m_objectPath; }
    const QString& interfaceName() const { return m_interfaceName; }
    const QString& methodName() const { return m_methodName; }
    const QString& appName() const { return m_appName; }
    bool flag() const { return m_flag; }

    void setExtensions(const QStringList& extensions) { m_extensions = extensions; }
    void setServiceName(const QString& name) { m_serviceName = name; }
    void setObjectPath(const QString& path) { m_objectPath = path; }
    void setInterfaceName(const QString& name) { m_interfaceName = name; }
    void setMethodName(const QString& name) { m_methodName = name; }
    void setAppName(const QString& name) { m_appName = name; }
    void setFlag(bool flag) { m_flag = flag; }

    // Descriptors name the same application when their service names match.
    bool operator==(const Service& other) const;
    bool operator!=(const Service& other) const { return !(*this == other); }

    // The device's naming pattern: "com.vexa.service.<app>",
    // "/com/vexa/object/<app>", "com.vexa.interface.<app>", method "open".
    static Service fromAppName(const QString& appName);

private:
    QStringList m_extensions;
    QString m_serviceName;
    QString m_objectPath;
    QString m_interfaceName;
    QString m_methodName;
    QString m_appName;
    bool m_flag;
};

typedef QVector<Service> Services;

} // namespace sys

#endif
