// The configuration store on a real SQLite file in the sandbox's home, and
// the device facts and language switch it carries.

#include "platform/sys/deviceconfig.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/sandbox.h"

#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QUuid>
#include <QtTest>

using sys::Service;
using sys::SystemConfig;

namespace {

// A statement's rows by the sqlite3 tool (never while a store is open),
// columns joined by '|'.
QStringList rows(const QString& statement)
{
    QProcess sqlite;
    sqlite.start("sqlite3", {SystemConfig::databasePath(), statement});
    sqlite.waitForFinished();
    return QString::fromUtf8(sqlite.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

const QUuid NoUuid;

} // namespace

class TestSystemConfig : public QObject
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

    void createsEveryTableOnce()
    {
        { SystemConfig config; }
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName())); // callers may reuse it
        const QStringList schema = rows("select name from sqlite_master where sql is not null order by rowid");
        QCOMPARE(schema, (QStringList{"dict_conf", "key_index", "power_management", "locale_conf",
                                      "services", "volume", "wifi_conf", "Dialup_conf",
                                      "device_conf", "page_turning_conf", "fonts", "misc_conf"}));
        { SystemConfig again; }
        QCOMPARE(rows("select name from sqlite_master where sql is not null order by rowid"), schema);
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
        QTest::newRow("bad environment") << QByteArray("-5") << QByteArray("x") << -1 << 300000 << 0;
        QTest::newRow("zero suspend") << QByteArray("0") << QByteArray("-1") << -1 << 300000 << 0;
        QTest::newRow("stored wins") << QByteArray("60000") << QByteArray("900000") << 0 << 0 << 0;
    }

    void intervals()
    {
        QFETCH(QByteArray, suspendEnv);
        QFETCH(QByteArray, shutdownEnv);
        QFETCH(int, stored);
        QFETCH(int, suspend);
        QFETCH(int, shutdown);
        if (!suspendEnv.isNull())
            qputenv("SUSPEND_INTERVAL", suspendEnv);
        if (!shutdownEnv.isNull())
            qputenv("SHUTDOWN_INTERVAL", shutdownEnv);
        {
            SystemConfig config;
            if (stored >= 0)
                QVERIFY(config.setSuspendInterval(stored) && config.setShutdownInterval(stored));
        }
        SystemConfig config; // what a later start reads
        QCOMPARE(config.suspendInterval(), suspend);
        QCOMPARE(config.shutdownInterval(), shutdown);
    }

    void deviceIdentityIsCreatedOnce()
    {
        QString serial;
        QString id;
        {
            SystemConfig config;
            serial = config.serialNumber();
            id = config.deviceId();
            QVERIFY(QUuid(serial) != NoUuid && QUuid(id) != NoUuid && serial.startsWith('{'));
            QVERIFY(id != serial);
            QCOMPARE(config.serialNumber(), serial);
        }
        QCOMPARE(rows("select key, value from device_conf order by key"),
                 (QStringList{"device_id|" + id, "serial_number|" + serial}));
        // One the device already has is kept; an empty one is replaced once.
        rows("update device_conf set value = 'PB-Q27-0042' where key = 'serial_number'");
        rows("update device_conf set value = '' where key = 'device_id'");
        SystemConfig config;
        QCOMPARE(config.serialNumber(), QString("PB-Q27-0042"));
        const QString newId = config.deviceId();
        QVERIFY(QUuid(newId) != NoUuid && newId != id);
        QCOMPARE(config.deviceId(), newId);
    }

    void bindingsAreBoundNotSpliced()
    {
        Service editor;
        QVERIFY(SystemConfig::writePadService(editor));
        QCOMPARE(editor.serviceName(), QString("com.vexa.service.text_editor"));
        QCOMPARE(editor.objectPath(), QString("/com/vexa/object/text_editor"));
        const QString odd = "x'); drop table services; --";
        {
            SystemConfig config;
            QVERIFY(config.registerService("txt", editor));
            QVERIFY(config.registerService(odd, Service::fromAppName("it's")));
            Service found;
            QVERIFY(config.queryService(odd, found));
            QCOMPARE(found.appName(), QString("it's"));
            QVERIFY(!config.queryService("rtf", found));
        }
        QCOMPARE(rows("select extension, service, object, interface, method, app from services "
                      "where extension = 'txt'"),
                 QStringList("txt|com.vexa.service.text_editor|/com/vexa/object/text_editor|"
                             "com.vexa.interface.text_editor|open|text_editor"));
    }

    void wifiProfilesRoundTrip()
    {
        const QVariantMap home{{"ssid", "Home's AP"}, {"psk", "pass word"}, {"count", 3}};
        const QVariantMap cafe{{"ssid", "Cafe"}, {"wep_key1", "12345"}};
        QList<QVariantMap> loaded;
        SystemConfig config;
        QVERIFY(config.saveWifiProfiles({home, cafe}) && config.saveWifiProfiles({cafe}));
        QVERIFY(config.loadWifiProfiles(loaded));
        QCOMPARE(loaded, QList<QVariantMap>{cafe}); // no old rows left behind
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
        QCOMPARE(QDir("/root/Settings").entryList(QDir::Files), QStringList("language"));

        // Unwritable: the process switches all the same, the file stays.
        QVERIFY(QFile::remove(file) && QDir().mkdir(file));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Could not (open|write) " + file));
        QVERIFY(!SystemConfig::setLocale(QLocale(QLocale::French, QLocale::France)));
        QCOMPARE(qgetenv("LANG"), QByteArray("fr_FR.UTF-8"));
        QVERIFY(QFileInfo(file).isDir());
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
        QFETCH(QString, text);
        QVERIFY(support::writeFile("/root/cpuinfo", cpuinfo));
        QCOMPARE(sys::DeviceConfig::cpuInfo("/root/cpuinfo"), text);
        QCOMPARE(sys::DeviceConfig::memInfo(quint64(5) << 30, quint64(8) << 30), QString("5120/8192 MB"));
    }
};

QTEST_GUILESS_MAIN(TestSystemConfig)
#include "tst_systemconfig.moc"
