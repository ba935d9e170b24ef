#ifndef SYS_PAGETURNINGCONFIG_H
#define SYS_PAGETURNINGCONFIG_H

class QSqlDatabase;

namespace sys {

// Page turning settings of the device's readers (table page_turning_conf).
class PageTurningConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
