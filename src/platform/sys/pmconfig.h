#pragma once

class QSqlDatabase;

namespace sys {

// Power management intervals (table power_management), in milliseconds.
class PMConfig
{
public:
    static int suspendInterval(QSqlDatabase& db);
    static bool setSuspendInterval(QSqlDatabase& db, int ms);
    static int shutdownInterval(QSqlDatabase& db);
    static bool setShutdownInterval(QSqlDatabase& db, int ms);

    // What the intervals are while the table holds no row: the
    // environment's SUSPEND_INTERVAL (300000 unless a positive number) and
    // SHUTDOWN_INTERVAL (0 unless a non-negative number).
    static int defaultSuspendInterval();
    static int defaultShutdownInterval();
};

} // namespace sys
