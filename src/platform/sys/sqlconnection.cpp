#include "platform/sys/sqlconnection.h"

#include <QSqlDatabase>
#include <QString>

namespace sys {

namespace {
const char Driver[] = "QSQLITE";
}

QSqlDatabase* addSqliteConnection(const QString& name)
{
    return new QSqlDatabase(QSqlDatabase::addDatabase(QLatin1String(Driver), name));
}

void removeConnection(QSqlDatabase*& db)
{
    if (!db)
        return;
    const QString name = db->connectionName();
    db->close();
    delete db;
    db = nullptr;
    QSqlDatabase::removeDatabase(name);
}

} // namespace sys
