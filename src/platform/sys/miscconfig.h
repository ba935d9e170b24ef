#ifndef SYS_MISCCONFIG_H
#define SYS_MISCCONFIG_H

class QSqlDatabase;

namespace sys {

// Other settings of the device (table misc_conf).
class MiscConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
