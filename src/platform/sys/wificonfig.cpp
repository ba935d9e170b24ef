#include "platform/sys/wificonfig.h"

#include "platform/logging.h"

#include <QDataStream>
#include <QIODevice>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace sys {

namespace {

const char DeleteAll[] = "delete from wifi_conf";
const char InsertProfile[] = "insert into wifi_conf (key, value) values(?, ?)";
const char SelectProfiles[] = "select key, value from wifi_conf order by key";

// Fixed, so that profiles stay readable whatever Qt the device runs later.
const QDataStream::Version StreamVersion = QDataStream::Qt_5_0;

} // namespace

bool WifiConfig::saveProfiles(QSqlDatabase& db, const QList<QVariantMap>& profiles)
{
    if (!db.transaction()) {
        qCDebug(lcConfig) << "wifi_conf: no transaction:" << db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    bool ok = query.exec(QLatin1String(DeleteAll))
              && query.prepare(QLatin1String(InsertProfile));
    for (int i = 0; ok && i < profiles.size(); ++i) {
        QByteArray blob;
        QDataStream out(&blob, QIODevice::WriteOnly);
        out.setVersion(StreamVersion);
        out << profiles.at(i);
        query.addBindValue(i);
        query.addBindValue(blob);
        ok = query.exec();
    }
    if (!ok) {
        qCDebug(lcConfig) << "wifi_conf: saving failed:" << query.lastError().text();
        db.rollback();
        return false;
    }
    return db.commit();
}

bool WifiConfig::loadProfiles(QSqlDatabase& db, QList<QVariantMap>& profiles)
{
    profiles.clear();
    QSqlQuery query(db);
    if (!query.exec(QLatin1String(SelectProfiles)))
        return false;
    while (query.next()) {
        const QByteArray blob = query.value(1).toByteArray();
        QDataStream in(blob);
        in.setVersion(StreamVersion);
        QVariantMap profile;
        in >> profile;
        if (in.status() != QDataStream::Ok) {
            qCWarning(lcConfig) << "wifi_conf: row" << query.value(0).toInt() << "does not decode";
            continue;
        }
        profiles.append(profile);
    }
    return true;
}

} // namespace sys
