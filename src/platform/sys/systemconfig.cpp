#include "platform/sys/systemconfig.h"

#include "platform/logging.h"
#include "platform/sys/configtable.h"
#include "platform/sys/deviceconfig.h"
#include "platform/sys/localeconfig.h"
#include "platform/sys/pmconfig.h"
#include "platform/sys/serviceconfig.h"
#include "platform/sys/sqlconnection.h"
#include "platform/sys/wificonfig.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>

namespace sys {

namespace {

const char ConnectionName[] = "system_config";
const char DatabaseFile[] = "system_config.db";

} // namespace

SystemConfig::SystemConfig()
{
    open();
    // The device's other applications rely on every table existing, in
    // this order; failures leave the reads at their defaults.
    for (int i = 0; i < ConfigTable::Count; ++i)
        ConfigTable::All[i]->create(*db);
}

SystemConfig::~SystemConfig()
{
    close();
}

QString SystemConfig::connectionName()
{
    return QLatin1String(ConnectionName);
}

QString SystemConfig::databasePath()
{
    return QDir::home().filePath(QLatin1String(DatabaseFile));
}

bool SystemConfig::open()
{
    if (!db) {
        db = addSqliteConnection(connectionName());
        db->setDatabaseName(databasePath());
    }
    if (db->isOpen())
        return true;
    if (!db->open()) {
        qCDebug(lcConfig) << "system config: cannot open" << db->databaseName() << ":"
                          << db->lastError().text();
        return false;
    }
    return true;
}

void SystemConfig::close()
{
    removeConnection(db);
}

bool SystemConfig::isOpen() const
{
    return db && db->isOpen();
}

int SystemConfig::suspendInterval()
{
    if (!db)
        return PMConfig::defaultSuspendInterval();
    return PMConfig::suspendInterval(*db);
}

bool SystemConfig::setSuspendInterval(int ms)
{
    return db && PMConfig::setSuspendInterval(*db, ms);
}

int SystemConfig::shutdownInterval()
{
    if (!db)
        return PMConfig::defaultShutdownInterval();
    return PMConfig::shutdownInterval(*db);
}

bool SystemConfig::setShutdownInterval(int ms)
{
    return db && PMConfig::setShutdownInterval(*db, ms);
}

bool SystemConfig::setLocale(const QLocale& locale)
{
    return LocaleConfig::setLocale(locale);
}

bool SystemConfig::restoreLocale(const QString& savedLang)
{
    return LocaleConfig::setLocale(LocaleConfig::localeFromLang(savedLang));
}

QString SystemConfig::version()
{
    return DeviceConfig::version();
}

QString SystemConfig::deviceId()
{
    return db ? DeviceConfig::deviceId(*db) : QString();
}

QString SystemConfig::serialNumber()
{
    return db ? DeviceConfig::serialNumber(*db) : QString();
}

QString SystemConfig::memInfo()
{
    return DeviceConfig::memInfo();
}

QString SystemConfig::cpuInfo()
{
    return DeviceConfig::cpuInfo();
}

bool SystemConfig::vexaReaderService(Service& service)
{
    service = ServiceConfig::vexaReaderService();
    return true;
}

bool SystemConfig::writePadService(Service& service)
{
    service = ServiceConfig::writePadService();
    return true;
}

bool SystemConfig::officeViewerService(Service& service)
{
    service = ServiceConfig::officeViewerService();
    return true;
}

bool SystemConfig::registerService(const QString& extension, const Service& service)
{
    return db && ServiceConfig::registerService(*db, extension, service);
}

bool SystemConfig::queryService(const QString& extension, Service& service)
{
    return db && ServiceConfig::queryService(*db, extension, service);
}

bool SystemConfig::loadWifiProfiles(QList<QVariantMap>& profiles)
{
    profiles.clear();
    return db && WifiConfig::loadProfiles(*db, profiles);
}

bool SystemConfig::saveWifiProfiles(const QList<QVariantMap>& profiles)
{
    return db && WifiConfig::saveProfiles(*db, profiles);
}

} // namespace sys
