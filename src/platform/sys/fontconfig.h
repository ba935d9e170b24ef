#ifndef SYS_FONTCONFIG_H
#define SYS_FONTCONFIG_H

class QSqlDatabase;

namespace sys {

// Font settings of the device (table fonts).
class FontConfig
{
public:
    static bool makeSureTableExist(QSqlDatabase& db);
};

} // namespace sys

#endif
