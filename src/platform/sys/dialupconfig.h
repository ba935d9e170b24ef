#ifndef SYS_DIALUPCONFIG_H
#define SYS_DIALUPCONFIG_H

class QSqlDatabase;

namespace sys {

// Dial-up (3G) profiles of the device (table Dialup_conf).
class DialupConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
