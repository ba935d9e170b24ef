// The sys library on a device without a system bus (the sandbox points it
// at a socket that does not exist): the system manager client's local
// answers, then the settings database on a real SQLite file in the
// sandbox's home, with the device facts and language switch it carries.

#include "platform/sys/deviceconfig.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/sql.h"
#include "support/warnings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QUuid>
#include <QtTest>

using sys::Service;
using sys::SysStatus;
using sys::SystemConfig;

namespace {

const QString ScreenFile = QStringLiteral("/root/Settings/screen");

bool ip(const QString& arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

} // namespace

class TestSys : public QObject
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

    void withoutBusEverythingFailsQuickly()
    {
        QElapsedTimer clock;
        clock.start();
        support::Warnings warnings;
        SysStatus& s = SysStatus::instance();
        QCOMPARE(warnings.lines.size(), 0); // nothing subscribed before listen()
        s.listen();
        QCOMPARE(warnings.lines.size(), 25); // one for each signal
        QVERIFY(s.systemBusy());
        s.setSystemBusy(false, true);
        QVERIFY(!s.systemBusy());
        int left = 41, status = 3;
        QVERIFY(!s.setSuspendInterval(5) && !s.sdioState() && !s.batteryStatus(left, status));
        QCOMPARE(QPoint(left, status), QPoint(41, 3));
        QVERIFY(clock.elapsed() < 5000);
    }

    void screenTransformationFile_data()
    {
        QTest::addColumn<QByteArray>("display"); // null: unset
        QTest::addColumn<int>("degree");
        QTest::addColumn<QByteArray>("sourced"); // what the device's start script gets
        const QByteArray device = "Transformed:Rot270:VexaScreen:/dev/mem";
        QTest::newRow("unset") << QByteArray() << 270 << device;
        QTest::newRow("rotated") << QByteArray("Transformed:Rot90:VexaScreen:/dev/mem") << 270 << device;
        QTest::newRow("no rotation part") << QByteArray("LinuxFb:/dev/fb0") << 270 << QByteArray("LinuxFb:/dev/fb0");
        QTest::newRow("every rotation part") << QByteArray("Multi:Transformed:Rot0:VexaScreen:Rot270:/dev/mem")
                                             << 180 << QByteArray("Multi:Transformed:Rot180:VexaScreen:Rot180:/dev/mem");
        QTest::newRow("shell text stays text") << QByteArray("it's:Rot0; touch /tmp/owned $(touch /tmp/owned)")
                                               << 90 << QByteArray("it's:Rot90; touch /tmp/owned $(touch /tmp/owned)");
    }

    void screenTransformationFile()
    {
        QFETCH(QByteArray, display);
        QFETCH(int, degree);
        support::setEnv("QWS_DISPLAY", display);
        SysStatus& s = SysStatus::instance();
        QVERIFY(s.setScreenTransformation(degree));
        QCOMPARE(s.screenTransformation(), degree);
        QCOMPARE(qgetenv("QWS_DISPLAY"), display); // only the next start changes
        QTEST(support::outputOf("sh", {"-c", ". " + ScreenFile + "; printf %s \"$QWS_DISPLAY\""}), "sourced");
        QVERIFY(!QFile::exists("/tmp/owned"));
    }

    void screenTransformationRefusals()
    {
        SysStatus& s = SysStatus::instance();
        QVERIFY(s.setScreenTransformation(90));
        const QByteArray before = support::readFile(ScreenFile);
        QVERIFY(!s.setScreenTransformation(45));
        QCOMPARE(s.screenTransformation(), 90);
        // No settings directory: the running display turns, the failure is told.
        QVERIFY(QDir().rename("/root/Settings", "/root/Settings.away"));
        const bool written = s.setScreenTransformation(180);
        QVERIFY(QDir().rename("/root/Settings.away", "/root/Settings"));
        QVERIFY(!written);
        QCOMPARE(s.screenTransformation(), 180);
        QCOMPARE(support::readFile(ScreenFile), before);
    }

    void sdCardPresence()
    {
        // Pushed in or pulled while running: the next question sees it.
        SysStatus& s = SysStatus::instance();
        QVERIFY(!s.isSDMounted());
        QVERIFY(support::writeFile("/dev/sdmmc", {}));
        QVERIFY(s.isSDMounted());
        QVERIFY(QFile::remove("/dev/sdmmc"));
        QVERIFY(!s.isSDMounted());
    }

    void currentConnection()
    {
        // Interfaces of our own, in the sandbox's private network namespace.
        SysStatus& s = SysStatus::instance();
        QCOMPARE(s.currentConnection(), QString()); // loopback only
        QVERIFY(ip("link add ppp0 type veth peer name peer1") && ip("addr add 192.0.2.9/24 dev ppp0"));
        QCOMPARE(s.currentConnection(), QString()); // down
        QVERIFY(ip("link set ppp0 up") && ip("link set peer1 up"));
        QTRY_COMPARE(s.currentConnection(), QStringLiteral("3g"));
        QVERIFY(ip("link add eth0 type veth peer name peer0") && ip("addr add 192.0.2.1/24 dev eth0"));
        QVERIFY(ip("link set eth0 up") && ip("link set peer0 up") && ip("link set ppp0 down"));
        QTRY_COMPARE(s.currentConnection(), QStringLiteral("wifi"));
    }

    void schemaInOrderOnce()
    {
        for (int round = 0; round < 2; ++round)
            SystemConfig config;
        QVERIFY(!QSqlDatabase::contains(SystemConfig::connectionName())); // callers may reuse it
        QCOMPARE(support::sqlRows(SystemConfig::databasePath(), "select name from sqlite_master where sql is not null order by rowid"),
                 (QStringList{"dict_conf", "key_index", "power_management", "locale_conf", "services", "volume",
                              "wifi_conf", "Dialup_conf", "device_conf", "page_turning_conf", "fonts", "misc_conf"}));
    }

    void intervals_data()
    {
        QTest::addColumn<QByteArrayList>("env"); // SUSPEND_INTERVAL, SHUTDOWN_INTERVAL; none: unset
        QTest::addColumn<int>("stored");            // -1: nothing stored
        QTest::addColumn<int>("suspend");
        QTest::addColumn<int>("shutdown");
        QTest::newRow("defaults") << QByteArrayList() << -1 << 300000 << 0;
        QTest::newRow("environment") << QByteArrayList{"60000", "900000"} << -1 << 60000 << 900000;
        QTest::newRow("bad environment") << QByteArrayList{"0", "-1"} << -1 << 300000 << 0;
        QTest::newRow("stored wins") << QByteArrayList{"60000", "900000"} << 0 << 0 << 0;
    }

    void intervals()
    {
        QFETCH(QByteArrayList, env);
        QFETCH(int, stored);
        for (int i = 0; i < env.size(); ++i)
            qputenv(i == 0 ? "SUSPEND_INTERVAL" : "SHUTDOWN_INTERVAL", env[i]);
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
        // Read back by a second store: made once, then stored.
        const QString serial = SystemConfig().serialNumber();
        const QString id = SystemConfig().deviceId();
        QVERIFY(!QUuid(serial).isNull() && !QUuid(id).isNull() && id != serial);
        QCOMPARE(support::sqlRows(SystemConfig::databasePath(), "select key, value from device_conf order by key"),
                 (QStringList{"device_id|" + id, "serial_number|" + serial}));
        // One the device already has is kept.
        support::sqlRows(SystemConfig::databasePath(), "update device_conf set value = 'PB-Q27-0042' where key = 'serial_number'");
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

QTEST_GUILESS_MAIN(TestSys)
#include "tst_sys.moc"
