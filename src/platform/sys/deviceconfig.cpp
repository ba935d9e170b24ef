#include "platform/sys/deviceconfig.h"

#include "platform/logging.h"
#include "platform/sys/configtable.h"

#include <QFile>
#include <QTextStream>
#include <QUuid>
#include <QVariant>

#include <sys/sysinfo.h>

namespace sys {

namespace {

const char SerialNumberKey[] = "serial_number";
const char DeviceIdKey[] = "device_id";

const char VersionVariable[] = "VERSION";
const char CpuInfoPath[] = "/proc/cpuinfo";
const char HardwareTag[] = "Hardware";
const char BogoMipsTag[] = "BogoMIPS";

QString identity(QSqlDatabase& db, const char* key)
{
    QVariant value;
    QString id;
    if (ConfigTable::Device.value(db, QLatin1String(key), value))
        id = value.toString();
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString();
        // An identity that was not stored would change with every request.
        if (!ConfigTable::Device.setValue(db, QLatin1String(key), id)) {
            qCWarning(lcConfig, "system config: cannot store %s", key);
            return QString();
        }
    }
    return id;
}

// The part after the first colon, or the whole line without one.
QString fieldValue(const QString& line)
{
    const int colon = line.indexOf(QLatin1Char(':'));
    return (colon < 0 ? line : line.mid(colon + 1)).trimmed();
}

} // namespace

QString DeviceConfig::serialNumber(QSqlDatabase& db)
{
    return identity(db, SerialNumberKey);
}

QString DeviceConfig::deviceId(QSqlDatabase& db)
{
    return identity(db, DeviceIdKey);
}

QString DeviceConfig::version()
{
    static QString cached;
    if (cached.isEmpty())
        cached = qEnvironmentVariable(VersionVariable);
    return cached;
}

QString DeviceConfig::memInfo()
{
    struct sysinfo info;
    if (sysinfo(&info) != 0)
        return memInfo(0, 0);
    // 64-bit products: the 32-bit ones overflow above 4 GiB.
    return memInfo(quint64(info.freeram) * info.mem_unit,
                   quint64(info.totalram) * info.mem_unit);
}

QString DeviceConfig::memInfo(quint64 freeBytes, quint64 totalBytes)
{
    return QStringLiteral("%1/%2 MB").arg(freeBytes >> 20).arg(totalBytes >> 20);
}

QString DeviceConfig::cpuInfo()
{
    return cpuInfo(QLatin1String(CpuInfoPath));
}

QString DeviceConfig::cpuInfo(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    // /proc files report a size of 0, so read line by line to the end.
    QTextStream in(&file);
    QString hardware;
    QString speed;
    bool haveSpeed = false;
    QString line;
    while (in.readLineInto(&line)) {
        if (line.contains(QLatin1String(HardwareTag)))
            hardware += fieldValue(line);
        // Multi-core processors list BogoMIPS once per core; the first
        // one stands for all.
        if (!haveSpeed && line.contains(QLatin1String(BogoMipsTag))) {
            speed = fieldValue(line);
            const int dot = speed.indexOf(QLatin1Char('.'));
            if (dot >= 0)
                speed.truncate(dot);
            haveSpeed = true;
        }
    }
    return hardware + QLatin1Char(' ') + speed + QLatin1String(" MHz");
}

} // namespace sys
