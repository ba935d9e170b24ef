#pragma once

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

    const QStringList& extensions() const { return extensionList; }
    const QString& serviceName() const { return service; }
    const QString& objectPath() const { return object; }
    const QString& interfaceName() const { return iface; }
    const QString& methodName() const { return method; }
    const QString& appName() const { return app; }
    bool flag() const { return flagSet; }

    void setExtensions(const QStringList& extensions) { extensionList = extensions; }
    void setServiceName(const QString& name) { service = name; }
    void setObjectPath(const QString& path) { object = path; }
    void setInterfaceName(const QString& name) { iface = name; }
    void setMethodName(const QString& name) { method = name; }
    void setAppName(const QString& name) { app = name; }
    void setFlag(bool flag) { flagSet = flag; }

    // Descriptors name the same application when their service names match.
    bool operator==(const Service& other) const;
    bool operator!=(const Service& other) const { return !(*this == other); }

    // The device's naming pattern: "com.vexa.service.<app>",
    // "/com/vexa/object/<app>", "com.vexa.interface.<app>", method "open".
    static Service fromAppName(const QString& appName);

private:
    QStringList extensionList;
    QString service;
    QString object;
    QString iface;
    QString method;
    QString app;
    bool flagSet = false;
};

typedef QVector<Service> Services;

} // namespace sys
