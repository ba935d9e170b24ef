// The device's SQLite stores on real files in the sandbox's home: the
// settings database, with the device facts and language switch it carries,
// and the content database. (A damaged or busy content database: through
// "Clean 'Recent Documents'".)

#include "platform/cms/contentmanager.h"
#include "platform/sys/deviceconfig.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/sandbox.h"
#include "support/sql.h"

#include <QDir>
#include <QSqlDatabase>
#include <QUuid>
#include <QtTest>

using sys::Service;
using sys::SystemConfig;

namespace {

const QString ContentDb = QStringLiteral("/root/home/content.db");

// A statement's rows on the settings database, never while a store is open.
QStringList rows(const QString& statement)
{
    return support::sqlRows(SystemConfig::databasePath(), statement);
}

QStringList content(const QString& statement)
{
    return support::sqlRows(ContentDb, statement);
}

} // namespace

class TestStores : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void init()
    {
        // A fresh home per case, so each starts without a database.
        QVERIFY(support::freshDir("/root/home"));
        qputenv("HOME", "/root/home");
        qunsetenv("SUSPEND_INTERVAL");
        qunsetenv("SHUTDOWN_INTERVAL");
    }

    void schemasInOrderOnce()
    {
        for (int round = 0; round < 2; ++round) {
            { SystemConfig config; }
            QVERIFY(cms::ContentManager().open(ContentDb));
        }
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName())); // callers may reuse it
        QCOMPARE(rows("select name from sqlite_master where sql is not null order by rowid"),
                 (QStringList{"dict_conf", "key_index", "power_management", "locale_conf", "services", "volume",
                              "wifi_conf", "Dialup_conf", "device_conf", "page_turning_conf", "fonts", "misc_conf"}));
        QCOMPARE(content("select group_concat(name, ' ') from (select name from sqlite_master order by name)"),
                 {"category category_category content content_bookmarks content_category content_options "
                  "content_shortcuts name_index notes"});
        // Each standard category with its parent.
        QCOMPARE(content("select group_concat(c.id || ' ' || c.title || ' ' || ifnull(l.parent_category_id, '-'), ', ') "
                         "from category c left join category_category l on c.id = l.child_category_id"),
                 {"0 root -, 1 Library 0, 2 Server 0, 3 Recent documents 0, 4 Reading list 0"});
    }

    void intervals_data()
    {
        QTest::addColumn<QByteArray>("suspendEnv"); // null: unset
        QTest::addColumn<QByteArray>("shutdownEnv");
        QTest::addColumn<int>("stored");            // -1: nothing stored
        QTest::addColumn<int>("suspend");
        QTest::addColumn<int>("shutdown");
        QTest::newRow("defaults") << QByteArray() << QByteArray() << -1 << 300000 << 0;
        QTest::newRow("environment") << QByteArray("60000") << QByteArray("900000") << -1 << 60000 << 900000;
        QTest::newRow("bad environment") << QByteArray("0") << QByteArray("-1") << -1 << 300000 << 0;
        QTest::newRow("stored wins") << QByteArray("60000") << QByteArray("900000") << 0 << 0 << 0;
    }

    void intervals()
    {
        QFETCH(QByteArray, suspendEnv);
        QFETCH(QByteArray, shutdownEnv);
        QFETCH(int, stored);
        if (!suspendEnv.isNull())
            qputenv("SUSPEND_INTERVAL", suspendEnv);
        if (!shutdownEnv.isNull())
            qputenv("SHUTDOWN_INTERVAL", shutdownEnv);
        {
            SystemConfig config;
            QVERIFY(stored < 0 || (config.setSuspendInterval(stored) && config.setShutdownInterval(stored)));
        }
        SystemConfig config; // what a later start reads
        QTEST(config.suspendInterval(), "suspend");
        QTEST(config.shutdownInterval(), "shutdown");
    }

    void deviceIdentityIsCreatedOnce()
    {
        QString serial;
        QString id;
        {
            SystemConfig config;
            serial = config.serialNumber();
            id = config.deviceId();
            QVERIFY(!QUuid(serial).isNull() && !QUuid(id).isNull() && id != serial);
        }
        QCOMPARE(rows("select key, value from device_conf order by key"),
                 (QStringList{"device_id|" + id, "serial_number|" + serial}));
        // One the device already has is kept.
        rows("update device_conf set value = 'PB-Q27-0042' where key = 'serial_number'");
        QCOMPARE(SystemConfig().serialNumber(), QString("PB-Q27-0042"));
    }

    void valuesBoundAndReplaced()
    {
        // Bound, never spliced into a statement.
        const QString odd = "x'); drop table services; --";
        SystemConfig config;
        QVERIFY(config.registerService(odd, Service::fromAppName("it's")));
        Service found;
        QVERIFY(config.queryService(odd, found));
        QCOMPARE(found.appName(), QString("it's"));
        QVERIFY(!config.queryService("rtf", found));

        // Wi-Fi profiles saved replace the old ones whole.
        const QVariantMap home{{"ssid", "Home's AP"}, {"psk", "pass word"}, {"count", 3}};
        const QVariantMap cafe{{"ssid", "Cafe"}, {"wep_key1", "12345"}};
        QList<QVariantMap> loaded;
        QVERIFY(config.saveWifiProfiles({home, cafe}) && config.saveWifiProfiles({cafe}));
        QVERIFY(config.loadWifiProfiles(loaded));
        QCOMPARE(loaded, QList<QVariantMap>{cafe});
    }

    void unusableDatabaseIsNeverOverwritten()
    {
        const QByteArray garbage = QByteArray("this is no sqlite file\n").repeated(200);
        QVERIFY(support::writeFile(SystemConfig::databasePath(), garbage));
        qputenv("SUSPEND_INTERVAL", "60000");
        {
            SystemConfig config;
            QCOMPARE(config.suspendInterval(), 60000);
            QVERIFY(!config.setSuspendInterval(1000));
            QVERIFY(config.serialNumber().isEmpty());
            QVERIFY(!config.registerService("txt", Service::fromAppName("text_editor")));
            QVERIFY(!config.saveWifiProfiles({{{"ssid", "x"}}}));
        }
        QCOMPARE(support::readFile(SystemConfig::databasePath()), garbage);

        // No home at all: defaults, and the connection is still released.
        qputenv("HOME", "/root/no/such/dir");
        {
            SystemConfig config;
            QVERIFY(!config.isOpen());
            QCOMPARE(config.suspendInterval(), 60000);
        }
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName()));
    }

    void languageSwitch()
    {
        const QString file = "/root/Settings/language";
        QVERIFY(SystemConfig::setLocale(QLocale(QLocale::Russian, QLocale::Russia)));
        QCOMPARE(qgetenv("LANG"), QByteArray("ru_RU.UTF-8"));
        QCOMPARE(qgetenv("LC_ALL"), QByteArray("ru_RU.UTF-8"));
        QCOMPARE(QLocale().name(), QString("ru_RU"));
        QVERIFY(SystemConfig::restoreLocale("de_DE.UTF-8"));
        QCOMPARE(support::readFile(file), QByteArray("export LANG=de_DE.UTF-8"));

        // Unwritable: the process switches all the same.
        QVERIFY(QFile::remove(file) && QDir().mkdir(file));
        QVERIFY(!SystemConfig::setLocale(QLocale(QLocale::French, QLocale::France)));
        QCOMPARE(qgetenv("LANG"), QByteArray("fr_FR.UTF-8"));
        QVERIFY(QDir().rmdir(file));
    }

    void deviceFacts_data()
    {
        QTest::addColumn<QByteArray>("cpuinfo");
        QTest::addColumn<QString>("text");
        QTest::newRow("board") << QByteArray("Processor\t: ARMv7\nBogoMIPS\t: 398.13\n\nHardware\t: Board X\n")
                               << "Board X 398 MHz";
        QTest::newRow("neither line") << QByteArray("processor\t: 0\nbogomips\t: 4800.00\n") << "  MHz";
        QTest::newRow("two cores, no dot") << QByteArray("BogoMIPS\t: 1196\nBogoMIPS\t: 1199.12\nHardware: X\n")
                                           << "X 1196 MHz";
    }

    void deviceFacts()
    {
        QFETCH(QByteArray, cpuinfo);
        QVERIFY(support::writeFile("/root/cpuinfo", cpuinfo));
        QTEST(sys::DeviceConfig::cpuInfo("/root/cpuinfo"), "text");
    }

    void recentDocumentsAndRemoval()
    {
        cms::ContentManager manager;
        QVERIFY(manager.open(ContentDb));
        // "Recent documents" with a member (99) that has no record; the first
        // document also on the reading list, with options.
        content("insert into content (id, name, location, last_access) values (1, 'b1', '/media/flash', "
                "'2012-11-01 10:00:00'), (2, 'b2', '/media/flash', '2012-11-23'), (3, 'b3', '/media/flash', '2012-10')");
        content("insert into content_category (content_id, category_id) values (1, 3), (2, 3), (99, 3), (3, 3), (1, 4)");
        content("insert into content_options (id, options) values (1, x'00ff')");
        QVector<qint64> ids;
        QVERIFY(manager.recentDocuments(ids));
        QCOMPARE(ids, QVector<qint64>({2, 1, 3, -1}));

        // A record goes with its list entries and options.
        cms::ContentNode node;
        QVERIFY(manager.getContentNode(1, node) && manager.removeContentNode(node));
        QCOMPARE(node.id, -1);
        QCOMPARE(content("select id from content order by id"), QStringList({"2", "3"}));
        QCOMPARE(content("select content_id from content_category order by content_id"), QStringList({"2", "3", "99"}));
        QCOMPARE(content("select count(*) from content_options"), {"0"});
    }
};

QTEST_GUILESS_MAIN(TestStores)
#include "tst_stores.moc"
