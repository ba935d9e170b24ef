// The system manager client's local answers, on a device without a system
// bus.

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
        QCOMPARE(warnings.lines.size(), 25); // one for each signal
        QVERIFY(s.systemBusy());
        s.setSystemBusy(false, true);
        QVERIFY(!s.systemBusy());
        int left = 41;
        int status = 3;
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
        QFETCH(QByteArray, sourced);
        if (display.isNull())
            qunsetenv("QWS_DISPLAY");
        else
            qputenv("QWS_DISPLAY", display);
        SysStatus& s = SysStatus::instance();
        QVERIFY(s.setScreenTransformation(degree));
        QCOMPARE(s.screenTransformation(), degree);
        QCOMPARE(qgetenv("QWS_DISPLAY"), display); // only the next start changes
        QProcess sh;
        sh.start("sh", {"-c", ". " + ScreenFile + "; printf %s \"$QWS_DISPLAY\""});
        QVERIFY(sh.waitForFinished());
        QCOMPARE(sh.readAllStandardOutput(), sourced);
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
};

QTEST_GUILESS_MAIN(SysStatusLocalTest)
#include "tst_sysstatus_local.moc"
