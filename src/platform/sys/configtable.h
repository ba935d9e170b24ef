#pragma once

class QSqlDatabase;
class QVariant;

namespace sys {

// One table of the configuration store, with the statements the device's
// applications use on it, kept to the letter. Failures are logged as debug
// lines and returned as false.
class ConfigTable
{
public:
    // Every table, in the order the store creates them.
    static const ConfigTable Dict;
    static const ConfigTable PowerManagement;
    static const ConfigTable Locale;
    static const ConfigTable Services;
    static const ConfigTable Volume;
    static const ConfigTable Wifi;
    static const ConfigTable Dialup;
    static const ConfigTable Device;
    static const ConfigTable PageTurning;
    static const ConfigTable Fonts;
    static const ConfigTable Misc;
    static const ConfigTable* const All[];
    static const int Count;

    // Runs the table statement, then the index statement (if any) only when
    // the table statement succeeded.
    bool create(QSqlDatabase& db) const;
    // The value stored under key; false when no row came back (or the table
    // has no key/value statements).
    bool value(QSqlDatabase& db, const QVariant& key, QVariant& value) const;
    bool setValue(QSqlDatabase& db, const QVariant& key, const QVariant& value) const;

private:
    constexpr ConfigTable(const char* createTable, const char* createIndex = nullptr,
                          const char* selectValue = nullptr, const char* writeValue = nullptr)
        : createTable(createTable)
        , createIndex(createIndex)
        , selectValue(selectValue)
        , writeValue(writeValue)
    {
    }

    const char* createTable;
    const char* createIndex;
    const char* selectValue;
    const char* writeValue;
};

} // namespace sys
