// The system manager client's local answers, on a device without a system
// bus; run once without and once with an SD card.

#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/sandbox.h"
#include "support/warnings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using sys::SysStatus;

namespace {

const QString ScreenFile = QStringLiteral("/root/Settings/screen");

bool ip(const QString& arguments)
{
    return QProcess::execute(QStringLiteral("ip"), arguments.split(QLatin1Char(' '))) == 0;
}

} // namespace

class SysStatusLocalTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void withoutBusEverythingFailsQuickly()
    {
        // The sandbox points the system bus at a socket that does not exist.
        QElapsedTimer clock;
        clock.start();
        support::Warnings warnings;
        SysStatus& s = SysStatus::instance();
        QCOMPARE(warnings.lines.filter(QRegularExpression("^\\nCan not connect the .+\\n$")).size(), 25);
        QVERIFY(s.systemBusy());
        s.setSystemBusy(false, true);
        QVERIFY(!s.systemBusy());
        int left = 41;
        int status = 3;
        QVERIFY(!s.setSuspendInterval(5) && !s.sdioState() && !s.enableSdio(true));
        QVERIFY(!s.batteryStatus(left, status));
        QCOMPARE(left, 41);
        QCOMPARE(status, 3);
        QVERIFY(clock.elapsed() < 5000);
    }

    void screenTransformationFile_data()
    {
        QTest::addColumn<QByteArray>("display"); // null: unset
        QTest::addColumn<int>("degree");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("sourced"); // what the device's start script gets
        const QByteArray device = "Transformed:Rot270:VexaScreen:/dev/mem";
        QTest::newRow("unset") << QByteArray() << 270 << "export QWS_DISPLAY=" + device << device;
        QTest::newRow("rotated") << QByteArray("Transformed:Rot90:VexaScreen:/dev/mem") << 270
                                 << "export QWS_DISPLAY=" + device << device;
        QTest::newRow("no rotation part") << QByteArray("LinuxFb:/dev/fb0") << 270
                                          << QByteArray("export QWS_DISPLAY=LinuxFb:/dev/fb0")
                                          << QByteArray("LinuxFb:/dev/fb0");
        QTest::newRow("every rotation part")
            << QByteArray("Multi:Transformed:Rot0:VexaScreen:Rot270:/dev/mem") << 180
            << QByteArray("export QWS_DISPLAY=Multi:Transformed:Rot180:VexaScreen:Rot180:/dev/mem")
            << QByteArray("Multi:Transformed:Rot180:VexaScreen:Rot180:/dev/mem");
        QTest::newRow("shell text stays text")
            << QByteArray("Transformed:Rot0:VexaScreen:/dev/mem; touch /tmp/owned") << 90
            << QByteArray("export QWS_DISPLAY='Transformed:Rot90:VexaScreen:/dev/mem; touch /tmp/owned'")
            << QByteArray("Transformed:Rot90:VexaScreen:/dev/mem; touch /tmp/owned");
        QTest::newRow("quote in value") << QByteArray("it's:Rot0 $(touch /tmp/owned)") << 90
                                        << QByteArray("export QWS_DISPLAY='it'\\''s:Rot90 $(touch /tmp/owned)'")
                                        << QByteArray("it's:Rot90 $(touch /tmp/owned)");
    }

    void screenTransformationFile()
    {
        QFETCH(QByteArray, display);
        QFETCH(int, degree);
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, sourced);
        support::Warnings warnings;
        if (display.isNull())
            qunsetenv("QWS_DISPLAY");
        else
            qputenv("QWS_DISPLAY", display);
        SysStatus& s = SysStatus::instance();
        QVERIFY(s.setScreenTransformation(degree));
        QCOMPARE(support::readFile(ScreenFile), line);
        QCOMPARE(s.screenTransformation(), degree);
        QCOMPARE(qgetenv("QWS_DISPLAY"), display); // only the next start changes
        QProcess sh;
        sh.start("sh", {"-c", ". " + ScreenFile + "; printf %s \"$QWS_DISPLAY\""});
        QVERIFY(sh.waitForFinished());
        QCOMPARE(sh.readAllStandardOutput(), sourced);
        QVERIFY(!QFile::exists("/tmp/owned"));
        QCOMPARE(warnings.lines, QStringList());
    }

    void screenTransformationRefusals()
    {
        SysStatus& s = SysStatus::instance();
        QVERIFY(s.setScreenTransformation(90));
        const QByteArray before = support::readFile(ScreenFile);
        for (int degree : {45, -90, 360}) {
            QVERIFY(!s.setScreenTransformation(degree));
            QCOMPARE(s.screenTransformation(), 90);
            QCOMPARE(support::readFile(ScreenFile), before);
        }
        // No settings directory: the running display turns, the failure is told.
        QVERIFY(QDir().rename("/root/Settings", "/root/Settings.away"));
        support::Warnings warnings;
        const bool written = s.setScreenTransformation(180);
        QVERIFY(QDir().rename("/root/Settings.away", "/root/Settings"));
        QVERIFY(!written);
        QCOMPARE(s.screenTransformation(), 180);
        QCOMPARE(warnings.lines, QStringList{"Could not open /root/Settings/screen for writing"});
        QCOMPARE(support::readFile(ScreenFile), before);
    }

    void sdCardPresence()
    {
        // Pulled or pushed in while running: the next question sees it.
        const bool present = qgetenv("LIRRO_TEST_SD") == "1";
        SysStatus& s = SysStatus::instance();
        QCOMPARE(s.isSDMounted(), present);
        QVERIFY(present ? QFile::remove("/dev/sdmmc") : support::writeFile("/dev/sdmmc", {}));
        QCOMPARE(s.isSDMounted(), !present);
    }

    void currentConnection()
    {
        // Interfaces of our own, in the sandbox's private network namespace.
        SysStatus& s = SysStatus::instance();
        QCOMPARE(s.currentConnection(), QString()); // loopback only
        QVERIFY(ip("link add ppp0 type veth peer name peer1"));
        QVERIFY(ip("addr add 192.0.2.9/24 dev ppp0"));
        QCOMPARE(s.currentConnection(), QString()); // down
        QVERIFY(ip("link set ppp0 up") && ip("link set peer1 up"));
        QTRY_COMPARE(s.currentConnection(), QStringLiteral("3g"));
        QVERIFY(ip("link add eth0 type veth peer name peer0") && ip("addr add 192.0.2.1/24 dev eth0"));
        QVERIFY(ip("link set eth0 up") && ip("link set peer0 up") && ip("link set ppp0 down"));
        QTRY_COMPARE(s.currentConnection(), QStringLiteral("wifi"));
        QVERIFY(ip("link set eth0 down"));
        QTRY_COMPARE(s.currentConnection(), QString());
    }
};

QTEST_GUILESS_MAIN(SysStatusLocalTest)
#include "tst_sysstatus_local.moc"
