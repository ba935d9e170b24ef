#include "platform/sys/serviceconfig.h"
#include "support/sandbox.h"
#include "platform/sys/systemconfig.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>
#include <QtTest>

using sys::Service;
using sys::SystemConfig;

namespace {

const char PROBE[] = "tst_systemconfig_probe";

// What sqlite_master keeps of the store's statements (SQLite drops
// "if not exists" and upper-cases the keywords, the rest stays verbatim).
const QStringList EXPECTED_SCHEMA = {
    "table|dict_conf|CREATE TABLE dict_conf (key text primary key, value text )",
    "index|key_index|CREATE INDEX key_index on dict_conf (key) ",
    "table|power_management|CREATE TABLE power_management (key text primary key, value text )",
    "table|locale_conf|CREATE TABLE locale_conf (key text primary key, value text )",
    "table|services|CREATE TABLE services (extension text primary key, service text, "
    "object text, interface text, method text, app text )",
    "table|volume|CREATE TABLE volume (key text primary key, value text )",
    "table|wifi_conf|CREATE TABLE wifi_conf (key integer primary key, value blob)",
    "table|Dialup_conf|CREATE TABLE Dialup_conf (key integer primary key, value blob)",
    "table|device_conf|CREATE TABLE device_conf (key text primary key, value text )",
    "table|page_turning_conf|CREATE TABLE page_turning_conf (key text primary key, value text )",
    "table|fonts|CREATE TABLE fonts (key text primary key, value text )",
    "table|misc_conf|CREATE TABLE misc_conf (key text primary key, value text )",
};

// Runs a statement on the database file through a connection of our own
// (never while a store is open) and returns its rows, columns joined by '|'.
QStringList rows(const QString& path, const QString& statement,
                 const QVariantList& args = QVariantList())
{
    QStringList result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", PROBE);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            query.prepare(statement);
            for (const QVariant& arg : args)
                query.addBindValue(arg);
            if (query.exec()) {
                while (query.next()) {
                    QStringList cols;
                    for (int i = 0; i < query.record().count(); ++i)
                        cols << query.value(i).toString();
                    result << cols.join('|');
                }
            } else {
                result << "ERROR";
            }
        } else {
            result << "NOT OPEN";
        }
    }
    QSqlDatabase::removeDatabase(PROBE);
    return result;
}

QStringList schema(const QString& path)
{
    return rows(path, "select type, name, sql from sqlite_master where sql is not null "
                      "order by rowid");
}

} // namespace

class TestSystemConfig : public QObject
{
    Q_OBJECT

private:
    // A fresh home directory per case, so each starts with no database.
    QString freshHome(const QString& name)
    {
        const QString home = "/root/" + name;
        QDir(home).removeRecursively();
        QDir().mkpath(home);
        qputenv("HOME", home.toLocal8Bit());
        return home;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
    }

    void cleanup()
    {
        qunsetenv("SUSPEND_INTERVAL");
        qunsetenv("SHUTDOWN_INTERVAL");
        qputenv("HOME", "/root");
    }

    void createsAllTablesOnceInOrder()
    {
        const QString home = freshHome("schema");
        const QString path = home + "/system_config.db";
        QCOMPARE(SystemConfig::databasePath(), path);
        QVERIFY(!QFile::exists(path));
        {
            SystemConfig config;
            QVERIFY(config.isOpen());
            QVERIFY(QSqlDatabase::contains(SystemConfig::connectionName()));
        }
        // The connection is gone, so callers may register their own.
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName()));
        QCOMPARE(schema(path), EXPECTED_SCHEMA);

        {
            SystemConfig config;
            QVERIFY(config.setSuspendInterval(1000));
        }
        {
            SystemConfig again;
        }
        QCOMPARE(schema(path), EXPECTED_SCHEMA);
        QCOMPARE(rows(path, "select key, value from power_management"),
                 QStringList{"suspend_interval|1000"});
    }

    void intervalsFallBackToEnvironment()
    {
        const QString home = freshHome("intervals");
        SystemConfig config;

        qunsetenv("SUSPEND_INTERVAL");
        QCOMPARE(config.suspendInterval(), 300000);
        qputenv("SUSPEND_INTERVAL", "60000");
        QCOMPARE(config.suspendInterval(), 60000);
        for (const char* bad : {"abc", "0", "-5", ""}) {
            qputenv("SUSPEND_INTERVAL", bad);
            QCOMPARE(config.suspendInterval(), 300000);
        }

        qunsetenv("SHUTDOWN_INTERVAL");
        QCOMPARE(config.shutdownInterval(), 0);
        qputenv("SHUTDOWN_INTERVAL", "900000");
        QCOMPARE(config.shutdownInterval(), 900000);
        for (const char* bad : {"xyz", "-1"}) {
            qputenv("SHUTDOWN_INTERVAL", bad);
            QCOMPARE(config.shutdownInterval(), 0);
        }

        // A stored row wins over the environment, even a stored 0.
        qputenv("SUSPEND_INTERVAL", "60000");
        qputenv("SHUTDOWN_INTERVAL", "900000");
        QVERIFY(config.setSuspendInterval(120000));
        QVERIFY(config.setShutdownInterval(0));
        QCOMPARE(config.suspendInterval(), 120000);
        QCOMPARE(config.shutdownInterval(), 0);
        QVERIFY(config.setSuspendInterval(90000));
        QCOMPARE(config.suspendInterval(), 90000);
    }

    void reopeningKeepsData()
    {
        const QString home = freshHome("reopen");
        QString serial;
        {
            SystemConfig config;
            QVERIFY(config.setSuspendInterval(180000));
            QVERIFY(config.setShutdownInterval(3600000));
            serial = config.serialNumber();
            config.close();
            QVERIFY(!config.isOpen());
            QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName()));
            // A closed store reads defaults and refuses writes.
            QCOMPARE(config.suspendInterval(), 300000);
            QVERIFY(!config.setSuspendInterval(1));
            QVERIFY(config.open());
            QCOMPARE(config.suspendInterval(), 180000);
        }
        SystemConfig config;
        QCOMPARE(config.suspendInterval(), 180000);
        QCOMPARE(config.shutdownInterval(), 3600000);
        QCOMPARE(config.serialNumber(), serial);
        config.close();
        // Stored as the text of the number, as the device's other
        // applications read it.
        QCOMPARE(rows(home + "/system_config.db",
                      "select key, value from power_management order by key"),
                 (QStringList{"shutdown_interval|3600000", "suspend_interval|180000"}));
    }

    void deviceIdentityIsCreatedOnce()
    {
        const QString home = freshHome("identity");
        const QRegularExpression uuid(
            "^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$");
        QString serial, id;
        {
            SystemConfig config;
            serial = config.serialNumber();
            QVERIFY2(uuid.match(serial).hasMatch(), qPrintable(serial));
            QCOMPARE(config.serialNumber(), serial);
            id = config.deviceId();
            QVERIFY2(uuid.match(id).hasMatch(), qPrintable(id));
            QVERIFY(id != serial);
            QCOMPARE(config.deviceId(), id);
        }
        const QString path = home + "/system_config.db";
        QCOMPARE(rows(path, "select key, value from device_conf order by key"),
                 (QStringList{"device_id|" + id, "serial_number|" + serial}));

        // A value the device already has is kept as it is; an empty one is
        // replaced.
        rows(path, "update device_conf set value = 'PB-Q27-0042' where key = 'serial_number'");
        rows(path, "update device_conf set value = '' where key = 'device_id'");
        SystemConfig config;
        QCOMPARE(config.serialNumber(), QString("PB-Q27-0042"));
        const QString newId = config.deviceId();
        QVERIFY(uuid.match(newId).hasMatch());
        QVERIFY(newId != id);
        QCOMPARE(config.deviceId(), newId);
    }

    void builtInServicesAndBindings()
    {
        const QString home = freshHome("services");
        Service reader, editor, office;
        QVERIFY(SystemConfig::vexaReaderService(reader));
        QVERIFY(SystemConfig::writePadService(editor));
        QVERIFY(SystemConfig::officeViewerService(office));
        const struct { const Service& s; const char* name; } expected[] = {
            {reader, "vexa_reader"}, {editor, "text_editor"}, {office, "office_viewer"}};
        for (const auto& e : expected) {
            const QString app = e.name;
            QCOMPARE(e.s.serviceName(), "com.vexa.service." + app);
            QCOMPARE(e.s.objectPath(), "/com/vexa/object/" + app);
            QCOMPARE(e.s.interfaceName(), "com.vexa.interface." + app);
            QCOMPARE(e.s.methodName(), QString("open"));
            QCOMPARE(e.s.appName(), app);
            QVERIFY(e.s.extensions().isEmpty());
            QVERIFY(!e.s.flag());
        }
        QVERIFY(reader != editor);
        Service renamed = reader;
        renamed.setAppName("other");
        renamed.setObjectPath("/elsewhere");
        QVERIFY(renamed == reader);

        {
            SystemConfig config;
            QVERIFY(config.registerService("txt", editor));
            QVERIFY(config.registerService("mobi", reader));
            QVERIFY(config.registerService("txt", office));  // replaces
            // Bound, not spliced into the statement.
            Service odd(QStringList(), "com.vexa.service.it's", "/o", "i", "open", "it's");
            QVERIFY(config.registerService("x'); drop table services; --", odd));

            Service found;
            QVERIFY(config.queryService("txt", found));
            QCOMPARE(found.serviceName(), office.serviceName());
            QCOMPARE(found.objectPath(), office.objectPath());
            QCOMPARE(found.interfaceName(), office.interfaceName());
            QCOMPARE(found.methodName(), office.methodName());
            QCOMPARE(found.appName(), office.appName());
            QCOMPARE(found.extensions(), QStringList("txt"));
            QVERIFY(!config.queryService("rtf", found));
            QVERIFY(config.queryService("x'); drop table services; --", found));
            QCOMPARE(found.appName(), QString("it's"));
        }

        // The bindings dialog reads the rows through a connection of its own
        // under the same name, once the store is closed.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "system_config");
            db.setDatabaseName(QDir::homePath() + "/system_config.db");
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.prepare("select service from services where extension = ? "));
            query.addBindValue("mobi");
            QVERIFY(query.exec() && query.next());
            QCOMPARE(query.value(0).toString(), reader.serviceName());
        }
        QSqlDatabase::removeDatabase("system_config");
        QCOMPARE(rows(home + "/system_config.db", "select count(*) from services"),
                 QStringList("3"));
    }

    void wifiProfilesRoundTrip()
    {
        const QString home = freshHome("wifi");
        QVariantMap home1{{"ssid", "Home's AP"}, {"bssid", "00:11:22:33:44:55"},
                          {"psk", "pass word"}, {"count", 3}, {"wpa2", true}};
        QVariantMap cafe{{"ssid", "Cafe"}, {"bssid", "66:77:88:99:aa:bb"},
                         {"wep_key1", "12345"}, {"count", 1}};
        {
            SystemConfig config;
            QList<QVariantMap> loaded;
            QVERIFY(config.loadWifiProfiles(loaded));
            QVERIFY(loaded.isEmpty());
            QVERIFY(config.saveWifiProfiles({home1, cafe}));
        }
        {
            SystemConfig config;
            QList<QVariantMap> loaded{{{"stale", 1}}};
            QVERIFY(config.loadWifiProfiles(loaded));
            QCOMPARE(loaded, (QList<QVariantMap>{home1, cafe}));
            // Saving a shorter list leaves no old rows behind.
            QVERIFY(config.saveWifiProfiles({cafe}));
            QVERIFY(config.loadWifiProfiles(loaded));
            QCOMPARE(loaded, QList<QVariantMap>{cafe});
        }
        const QString path = home + "/system_config.db";
        rows(path, "insert into wifi_conf (key, value) values (7, x'ffff0001')");
        SystemConfig config;
        QList<QVariantMap> loaded;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("wifi_conf: row 7"));
        QVERIFY(config.loadWifiProfiles(loaded));
        QCOMPARE(loaded, QList<QVariantMap>{cafe});
        QVERIFY(config.saveWifiProfiles({}));
        QVERIFY(config.loadWifiProfiles(loaded));
        QVERIFY(loaded.isEmpty());
    }

    void unusableDatabaseGivesDefaults()
    {
        // Not a database at all: nothing is created or overwritten.
        QString home = freshHome("corrupt");
        const QByteArray garbage = QByteArray("this is no sqlite file\n").repeated(200);
        {
            QFile f(home + "/system_config.db");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(garbage);
        }
        {
            qputenv("SUSPEND_INTERVAL", "60000");
            SystemConfig config;
            QCOMPARE(config.suspendInterval(), 60000);
            QCOMPARE(config.shutdownInterval(), 0);
            QVERIFY(!config.setSuspendInterval(1000));
            QVERIFY(config.serialNumber().isEmpty());
            QVERIFY(!config.registerService("txt", Service::fromAppName("text_editor")));
            Service found;
            QVERIFY(!config.queryService("txt", found));
            QVERIFY(!config.saveWifiProfiles({{{"ssid", "x"}}}));
        }
        {
            QFile f(home + "/system_config.db");
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), garbage);
        }

        // A home directory that does not exist: the database cannot be
        // opened, and the connection is still released.
        qputenv("HOME", "/root/no/such/dir");
        {
            SystemConfig config;
            QVERIFY(!config.isOpen());
            QCOMPARE(config.suspendInterval(), 60000);
            QVERIFY(!config.setShutdownInterval(5));
            QVERIFY(config.deviceId().isEmpty());
        }
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName()));
        QVERIFY(!QFile::exists("/root/no"));
    }

    void readOnlyDatabaseKeepsItsValues()
    {
        const QString home = freshHome("readonly");
        QString serial;
        {
            SystemConfig config;
            QVERIFY(config.setSuspendInterval(240000));
            serial = config.serialNumber();
        }
        // Root ignores file modes; a read-only mount is what stops it.
        if (QProcess::execute("mount", {"--bind", home, home}) != 0
            || QProcess::execute("mount", {"-o", "remount,bind,ro", home}) != 0)
            QSKIP("cannot make a read-only mount here");
        {
            SystemConfig config;
            QCOMPARE(config.suspendInterval(), 240000);
            QCOMPARE(config.serialNumber(), serial);
            QVERIFY(!config.setSuspendInterval(1000));
            QCOMPARE(config.suspendInterval(), 240000);
            QVERIFY(config.deviceId().isEmpty());  // cannot be stored, so none
        }
        QProcess::execute("umount", {home});
    }
};

QTEST_GUILESS_MAIN(TestSystemConfig)
#include "tst_systemconfig.moc"
