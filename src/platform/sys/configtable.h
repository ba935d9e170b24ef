#ifndef SYS_CONFIGTABLE_H
#define SYS_CONFIGTABLE_H

class QSqlDatabase;
class QVariant;

namespace sys {

// Statement helpers shared by the settings classes of the configuration
// store. Failures are logged as debug lines and returned as false.
class ConfigTable
{
public:
    // Runs the table statement, then the index statement (if any) only
    // when the table statement succeeded.
    static bool create(QSqlDatabase& db, const char* tableStatement,
                       const char* indexStatement = nullptr);

    // Runs a prepared statement with one bound argument and returns the
    // first column of its first row in value; false when no row came back.
    static bool selectOne(QSqlDatabase& db, const char* statement,
                          const QVariant& argument, QVariant& value);

    // Runs a prepared statement with two bound arguments.
    static bool execTwo(QSqlDatabase& db, const char* statement,
                        const QVariant& first, const QVariant& second);
};

} // namespace sys

#endif
