#pragma once

#include <QString>

class QSqlDatabase;

namespace sys {

// Device identity (table device_conf) and the facts read from the running
// system: firmware version, memory and processor.
class DeviceConfig
{
public:
    // Both are created as a random braced UUID on the first request and
    // stay the same afterwards; empty when the database cannot store them.
    static QString serialNumber(QSqlDatabase& db);
    static QString deviceId(QSqlDatabase& db);

    // VERSION from the environment; cached once it was seen non-empty.
    static QString version();
    // "<free>/<total> MB", whole MiB.
    static QString memInfo();
    static QString memInfo(quint64 freeBytes, quint64 totalBytes);
    // "<Hardware> <BogoMIPS integer part> MHz" from /proc/cpuinfo or
    // from a file of the same format.
    static QString cpuInfo();
    static QString cpuInfo(const QString& path);
};

} // namespace sys
