#ifndef SYS_DICTCONFIG_H
#define SYS_DICTCONFIG_H

class QSqlDatabase;

namespace sys {

// Dictionary settings of the device's reader applications (table dict_conf).
class DictConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
