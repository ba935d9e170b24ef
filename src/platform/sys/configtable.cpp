#include "platform/sys/configtable.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace sys {

namespace {
bool execLogged(QSqlQuery& query, const char* statement)
{
    if (query.exec())
        return true;
    qDebug() << "system config:" << statement << "failed:" << query.lastError().text();
    return false;
}
}

bool ConfigTable::create(QSqlDatabase& db, const char* tableStatement,
                         const char* indexStatement)
{
    QSqlQuery query(db);
    if (!query.exec(QLatin1String(tableStatement))) {
        qDebug() << "system config:" << tableStatement << "failed:" << query.lastError().text();
        return false;
    }
    if (indexStatement && !query.exec(QLatin1String(indexStatement))) {
        qDebug() << "system config:" << indexStatement << "failed:" << query.lastError().text();
        return false;
    }
    return true;
}

bool ConfigTable::selectOne(QSqlDatabase& db, const char* statement,
                            const QVariant& argument, QVariant& value)
{
    QSqlQuery query(db);
    if (!query.prepare(QLatin1String(statement)))
        return false;
    query.addBindValue(argument);
    if (!execLogged(query, statement) || !query.next())
        return false;
    value = query.value(0);
    return true;
}

bool ConfigTable::execTwo(QSqlDatabase& db, const char* statement,
                          const QVariant& first, const QVariant& second)
{
    QSqlQuery query(db);
    if (!query.prepare(QLatin1String(statement)))
        return false;
    query.addBindValue(first);
    query.addBindValue(second);
    return execLogged(query, statement);
}

} // namespace sys
