// The settings database on a real SQLite file in the sandbox's home, with
// the device facts and language switch it carries.

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

// A statement's rows on the settings database, never while a store is open.
QStringList rows(const QString& statement)
{
    return support::sqlRows(SystemConfig::databasePath(), statement);
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

    void schemaInOrderOnce()
    {
        for (int round = 0; round < 2; ++round)
            SystemConfig config;
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName())); // callers may reuse it
        QCOMPARE(rows("select name from sqlite_master where sql is not null order by rowid"),
                 (QStringList{"dict_conf", "key_index", "power_management", "locale_conf", "services", "volume",
                              "wifi_conf", "Dialup_conf", "device_conf", "page_turning_conf", "fonts", "misc_conf"}));
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
};

QTEST_GUILESS_MAIN(TestStores)
#include "tst_stores.moc"
