#pragma once

#include <QList>
#include <QVariantMap>

class QSqlDatabase;

namespace sys {

// The remembered Wi-Fi access points (table wifi_conf): one row per
// profile, key = its position in the list, value = the profile's property
// map serialised with QDataStream.
class WifiConfig
{
public:
    // Replaces the stored list as a whole; on failure the old list stays.
    static bool saveProfiles(QSqlDatabase& db, const QList<QVariantMap>& profiles);
    // Rows that do not decode are skipped with a warning.
    static bool loadProfiles(QSqlDatabase& db, QList<QVariantMap>& profiles);
};

} // namespace sys
