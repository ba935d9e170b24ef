#include "platform/sys/wificonfig.h"

#include "platform/sys/configtable.h"

#include <QDataStream>
#include <QDebug>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace sys {

namespace {
const char CREATE_TABLE[] =
    "create table if not exists wifi_conf (key integer primary key, value blob)";
const char DELETE_ALL[] = "delete from wifi_conf";
const char INSERT_PROFILE[] = "insert into wifi_conf (key, value) values(?, ?)";
const char SELECT_PROFILES[] = "select key, value from wifi_conf order by key";

// Fixed, so that profiles stay readable whatever Qt the device runs later.
const QDataStream::Version STREAM_VERSION = QDataStream::Qt_5_0;
}

bool WifiConfig::makeSureTableExist(QSqlDatabase& db)
{
    return ConfigTable::create(db, CREATE_TABLE);
}

bool WifiConfig::saveProfiles(QSqlDatabase& db, const QList<QVariantMap>& profiles)
{
    if (!db.transaction()) {
        qDebug() << "wifi_conf: no transaction:" << db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    bool ok = query.exec(QLatin1String(DELETE_ALL))
              && query.prepare(QLatin1String(INSERT_PROFILE));
    for (int i = 0; ok && i < profiles.size(); ++i) {
        QByteArray blob;
        QDataStream out(&blob, QIODevice::WriteOnly);
        out.setVersion(STREAM_VERSION);
        out << profiles.at(i);
        query.addBindValue(i);
        query.addBindValue(blob);
        ok = query.exec();
    }
    if (!ok) {
        qDebug() << "wifi_conf: saving failed:" << query.lastError().text();
        db.rollback();
        return false;
    }
    return db.commit();
}

bool WifiConfig::loadProfiles(QSqlDatabase& db, QList<QVariantMap>& profiles)
{
    profiles.clear();
    QSqlQuery query(db);
    if (!query.exec(QLatin1String(SELECT_PROFILES)))
        return false;
    while (query.next()) {
        const QByteArray blob = query.value(1).toByteArray();
        QDataStream in(blob);
        in.setVersion(STREAM_VERSION);
        QVariantMap profile;
        in >> profile;
        if (in.status() != QDataStream::Ok) {
            qWarning() << "wifi_conf: row" << query.value(0).toInt() << "does not decode";
            continue;
        }
        profiles.append(profile);
    }
    return true;
}

} // namespace sys
