#pragma once

#include "platform/sys/service.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QVariantMap>

class QSqlDatabase;

namespace sys {

// The device's settings database "system_config.db" in the home directory,
// shared by all of the device's applications. Create one on the stack for
// each use; the destructor closes it. Stores share one connection name,
// so two of them must not be alive at the same time.
class SystemConfig
{
public:
    SystemConfig();
    ~SystemConfig();

    bool open();
    void close();
    bool isOpen() const;

    // Milliseconds; 0 disables the timer.
    int suspendInterval();
    bool setSuspendInterval(int ms);
    int shutdownInterval();
    bool setShutdownInterval(int ms);

    // Language switch; see LocaleConfig. True when the language file was
    // written.
    static bool setLocale(const QLocale& locale);
    // Writes back the locale a saved LANG value stands for.
    static bool restoreLocale(const QString& savedLang);

    static QString version();
    QString deviceId();
    QString serialNumber();
    static QString memInfo();
    static QString cpuInfo();

    static bool vexaReaderService(Service& service);
    static bool writePadService(Service& service);
    static bool officeViewerService(Service& service);

    bool registerService(const QString& extension, const Service& service);
    bool queryService(const QString& extension, Service& service);

    bool loadWifiProfiles(QList<QVariantMap>& profiles);
    bool saveWifiProfiles(const QList<QVariantMap>& profiles);

    static QString connectionName();
    static QString databasePath();

private:
    Q_DISABLE_COPY(SystemConfig)

    QSqlDatabase* db = nullptr;
};

} // namespace sys
