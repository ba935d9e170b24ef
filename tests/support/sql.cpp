#include "support/sql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

QStringList support::sqlRows(const QString& path, const QString& statement, const QVariantList& values)
{
    const QString name = QStringLiteral("support:") + path;
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        const bool open = db.open();
        QSqlQuery query(db);
        bool ok = open && query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!(ok = ok && query.exec()))
            rows << QStringLiteral("error: ") + db.lastError().text() + query.lastError().text();
        while (ok && query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i)
                columns << query.value(i).toString();
            rows << columns.join(QLatin1Char('|'));
        }
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}
