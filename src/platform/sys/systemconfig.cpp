#include "platform/sys/systemconfig.h"

#include "platform/sys/deviceconfig.h"
#include "platform/sys/dialupconfig.h"
#include "platform/sys/dictconfig.h"
#include "platform/sys/fontconfig.h"
#include "platform/sys/localeconfig.h"
#include "platform/sys/miscconfig.h"
#include "platform/sys/pageturningconfig.h"
#include "platform/sys/pmconfig.h"
#include "platform/sys/serviceconfig.h"
#include "platform/sys/volumeconfig.h"
#include "platform/sys/wificonfig.h"

#include <QDebug>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>

namespace sys {

namespace {
const char DRIVER[] = "QSQLITE";
const char CONNECTION_NAME[] = "system_config";
const char DATABASE_FILE[] = "system_config.db";
}

SystemConfig::SystemConfig()
    : m_db(nullptr)
{
    open();
    // The device's other applications rely on every table existing, in
    // this order; failures leave the reads at their defaults.
    DictConfig::makeSureTableExist(*m_db);
    PMConfig::makeSureTableExist(*m_db);
    LocaleConfig::makeSureTableExist(*m_db);
    ServiceConfig::makeSureTableExist(*m_db);
    VolumeConfig::makeSureTableExist(*m_db);
    WifiConfig::makeSureTableExist(*m_db);
    DialupConfig::makeSureTableExist(*m_db);
    DeviceConfig::makeSureTableExist(*m_db);
    PageTurningConfig::makeSureTableExist(*m_db);
    FontConfig::makeSureTableExist(*m_db);
    MiscConfig::makeSureTableExist(*m_db);
}

SystemConfig::~SystemConfig()
{
    close();
}

QString SystemConfig::connectionName()
{
    return QLatin1String(CONNECTION_NAME);
}

QString SystemConfig::databasePath()
{
    return QDir::home().filePath(QLatin1String(DATABASE_FILE));
}

bool SystemConfig::open()
{
    if (!m_db) {
        m_db = new QSqlDatabase(QSqlDatabase::addDatabase(QLatin1String(DRIVER),
                                                          connectionName()));
        m_db->setDatabaseName(databasePath());
    }
    if (m_db->isOpen())
        return true;
    if (!m_db->open()) {
        qDebug() << "system config: cannot open" << m_db->databaseName() << ":"
                 << m_db->lastError().text();
        return false;
    }
    return true;
}

void SystemConfig::close()
{
    // Also after a failed open: the connection must not stay registered,
    // or the next store would replace it under a live object.
    if (!m_db)
        return;
    m_db->close();
    delete m_db;
    m_db = nullptr;
    QSqlDatabase::removeDatabase(connectionName());
}

bool SystemConfig::isOpen() const
{
    return m_db && m_db->isOpen();
}

int SystemConfig::suspendInterval()
{
    if (!m_db)
        return PMConfig::defaultSuspendInterval();
    return PMConfig::suspendInterval(*m_db);
}

bool SystemConfig::setSuspendInterval(int ms)
{
    return m_db && PMConfig::setSuspendInterval(*m_db, ms);
}

int SystemConfig::shutdownInterval()
{
    if (!m_db)
        return PMConfig::defaultShutdownInterval();
    return PMConfig::shutdownInterval(*m_db);
}

bool SystemConfig::setShutdownInterval(int ms)
{
    return m_db && PMConfig::setShutdownInterval(*m_db, ms);
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
    return m_db ? DeviceConfig::deviceId(*m_db) : QString();
}

QString SystemConfig::serialNumber()
{
    return m_db ? DeviceConfig::serialNumber(*m_db) : QString();
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
    return m_db && ServiceConfig::registerService(*m_db, extension, service);
}

bool SystemConfig::queryService(const QString& extension, Service& service)
{
    return m_db && ServiceConfig::queryService(*m_db, extension, service);
}

bool SystemConfig::loadWifiProfiles(QList<QVariantMap>& profiles)
{
    profiles.clear();
    return m_db && WifiConfig::loadProfiles(*m_db, profiles);
}

bool SystemConfig::saveWifiProfiles(const QList<QVariantMap>& profiles)
{
    return m_db && WifiConfig::saveProfiles(*m_db, profiles);
}

} // namespace sys
