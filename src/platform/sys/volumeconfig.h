#ifndef SYS_VOLUMECONFIG_H
#define SYS_VOLUMECONFIG_H

class QSqlDatabase;

namespace sys {

// Sound volume settings of the device (table volume).
class VolumeConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
