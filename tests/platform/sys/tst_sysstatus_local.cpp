#include "platform/sys/sysstatus.h"
#include "support/sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>

using sys::SysStatus;

namespace {

const char* const kScreenFile = "/root/Settings/screen";

QStringList warnings;
QtMessageHandler previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg)
        warnings.append(text);
    previousHandler(type, context, text);
}

QByteArray readFile(const char* path)
{
    QFile file{QString::fromLatin1(path)};
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// What the device's start script ends up with after sourcing the file.
QByteArray sourcedDisplay()
{
    QProcess sh;
    sh.start(QStringLiteral("sh"),
             {QStringLiteral("-c"), QStringLiteral(". %1; printf %s \"$QWS_DISPLAY\"")
                                        .arg(QLatin1String(kScreenFile))});
    sh.waitForFinished(10000);
    return sh.readAllStandardOutput();
}

bool ip(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("ip"), args) == 0;
}

} // namespace

class SysStatusLocalTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void withoutBusEverythingFailsQuickly();
    void screenTransformationFile_data();
    void screenTransformationFile();
    void screenTransformationRefusals();
    void sdCardPresence();
    void currentConnection();
};

void SysStatusLocalTest::initTestCase()
{
    REQUIRE_SANDBOX();
    previousHandler = qInstallMessageHandler(collectWarnings);
}

void SysStatusLocalTest::init()
{
    warnings.clear();
}

void SysStatusLocalTest::withoutBusEverythingFailsQuickly()
{
    // The sandbox points the system bus at a socket that does not exist.
    QElapsedTimer clock;
    clock.start();
    SysStatus& s = SysStatus::instance();
    const QStringList subscriptionFailures = {
        "\nCan not connect the mountTreeSignal!\n",
        "\nCan not connect the sdCardChangedSignal!\n",
        "\nCan not connect the sdioChangedSignal!\n",
        "\nCan not connect the batterySignal\n",
        "\nCan not connect the connectToPC\n",
        "\nCan not connect the inUSBSlaveMode\n",
        "\nCan not connect the screenRotated\n",
        "\nCan not connect the aboutToSuspend\n",
        "\nCan not connect the wakeup\n",
        "\nCan not connect the aboutToShutdown\n",
        "\nCan not connect the forceQuit\n",
        "\nCan not connect the onlineService\n",
        "\nCan not connect the pppConnectionChanged\n",
        "\nCan not connect the volume changed\n",
        "\nCan not connect the volumeUpPressed\n",
        "\nCan not connect the volumeDownPressed\n",
        "\nCan not connect the signal stylus changed\n",
        "\nCan not connect the musicPlayerStateChanged signal\n",
        "\nCan not connect the downloadStateChanged signal\n",
        "\nCan not connect the hardwareTimerTimeout signal\n",
        "\nCan not connect the lowBatterySignal signal\n",
        "\nCan not connect the mouseLongPress signal\n",
        "\nCan not connect the multiTouchPressDetected signal\n",
        "\nCan not connect the multiTouchReleaseDetected signal\n",
        "\nCan not connect the configKeyboard signal\n",
    };
    QCOMPARE(warnings.mid(warnings.size() - subscriptionFailures.size()), subscriptionFailures);

    QVERIFY(s.systemBusy());
    s.setSystemBusy(false, true);
    QVERIFY(!s.systemBusy());
    QVERIFY(!s.setSuspendInterval(5));
    QVERIFY(!s.setShutdownInterval(5));
    QVERIFY(!s.sdioState());
    QVERIFY(!s.enableSdio(true));
    QVERIFY(!s.stopWpaSupplicant());
    QVERIFY(!s.startWpaSupplicant(QStringLiteral("/etc/wpa.conf")));
    QVERIFY(!s.acquireAddress(true));
    int left = 41;
    int status = 3;
    QVERIFY(!s.batteryStatus(left, status));
    QCOMPARE(left, 41);
    QCOMPARE(status, 3);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

void SysStatusLocalTest::screenTransformationFile_data()
{
    QTest::addColumn<QByteArray>("display");   // null: unset
    QTest::addColumn<int>("degree");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("sourced");

    const QByteArray transformed270 = "Transformed:Rot270:VexaScreen:/dev/mem";
    QTest::newRow("unset") << QByteArray() << 270 << "export QWS_DISPLAY=" + transformed270
                           << transformed270;
    QTest::newRow("rotated") << QByteArray("Transformed:Rot90:VexaScreen:/dev/mem") << 270
                             << "export QWS_DISPLAY=" + transformed270 << transformed270;
    QTest::newRow("no rotation part")
        << QByteArray("LinuxFb:/dev/fb0") << 270 << QByteArray("export QWS_DISPLAY=LinuxFb:/dev/fb0")
        << QByteArray("LinuxFb:/dev/fb0");
    QTest::newRow("upright") << QByteArray() << 0
                             << QByteArray("export QWS_DISPLAY=Transformed:Rot0:VexaScreen:/dev/mem")
                             << QByteArray("Transformed:Rot0:VexaScreen:/dev/mem");
    QTest::newRow("every rotation part")
        << QByteArray("Multi:Transformed:Rot0:VexaScreen:Rot270:/dev/mem") << 180
        << QByteArray("export QWS_DISPLAY=Multi:Transformed:Rot180:VexaScreen:Rot180:/dev/mem")
        << QByteArray("Multi:Transformed:Rot180:VexaScreen:Rot180:/dev/mem");
    QTest::newRow("shell text stays text")
        << QByteArray("Transformed:Rot0:VexaScreen:/dev/mem; touch /tmp/lirro_owned") << 90
        << QByteArray("export QWS_DISPLAY='Transformed:Rot90:VexaScreen:/dev/mem; touch /tmp/lirro_owned'")
        << QByteArray("Transformed:Rot90:VexaScreen:/dev/mem; touch /tmp/lirro_owned");
    QTest::newRow("quote in value")
        << QByteArray("it's:Rot0 $(touch /tmp/lirro_owned)") << 90
        << QByteArray("export QWS_DISPLAY='it'\\''s:Rot90 $(touch /tmp/lirro_owned)'")
        << QByteArray("it's:Rot90 $(touch /tmp/lirro_owned)");
}

void SysStatusLocalTest::screenTransformationFile()
{
    QFETCH(QByteArray, display);
    QFETCH(int, degree);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, sourced);

    if (display.isNull())
        qunsetenv("QWS_DISPLAY");
    else
        qputenv("QWS_DISPLAY", display);
    SysStatus& s = SysStatus::instance();
    QVERIFY(s.setScreenTransformation(degree));
    QCOMPARE(readFile(kScreenFile), line);
    QCOMPARE(s.screenTransformation(), degree);
    QCOMPARE(qgetenv("QWS_DISPLAY"), display);   // only the next start changes
    QCOMPARE(sourcedDisplay(), sourced);
    QVERIFY(!QFile::exists(QStringLiteral("/tmp/lirro_owned")));
    QCOMPARE(warnings, QStringList());
    qunsetenv("QWS_DISPLAY");
}

void SysStatusLocalTest::screenTransformationRefusals()
{
    SysStatus& s = SysStatus::instance();
    qunsetenv("QWS_DISPLAY");
    QVERIFY(s.setScreenTransformation(90));
    const QByteArray before = readFile(kScreenFile);

    // Not a quarter turn: nothing changes.
    const int invalid[] = {45, -90, 360, 450};
    for (int degree : invalid) {
        QVERIFY(!s.setScreenTransformation(degree));
        QCOMPARE(s.screenTransformation(), 90);
        QCOMPARE(readFile(kScreenFile), before);
    }
    QCOMPARE(warnings.size(), 4);

    // No settings directory: the running display turns, the failure is told.
    warnings.clear();
    QVERIFY(QDir().rename(QStringLiteral("/root/Settings"), QStringLiteral("/root/Settings.away")));
    const bool written = s.setScreenTransformation(180);
    QCOMPARE(s.screenTransformation(), 180);
    QVERIFY(!QFile::exists(QLatin1String(kScreenFile)));
    QVERIFY(QDir().rename(QStringLiteral("/root/Settings.away"), QStringLiteral("/root/Settings")));
    QVERIFY(!written);
    QCOMPARE(warnings, QStringList{QStringLiteral("Could not open /root/Settings/screen for writing")});
    QCOMPARE(readFile(kScreenFile), before);
}

void SysStatusLocalTest::sdCardPresence()
{
    const bool expected = qgetenv("LIRRO_TEST_SD") == "1";
    SysStatus& s = SysStatus::instance();
    QCOMPARE(s.isSDMounted(), expected);
    QCOMPARE(QFile::exists(QStringLiteral("/dev/sdmmc")), expected);

    // Card pulled or pushed in while running: the next question sees it.
    QFile node(QStringLiteral("/dev/sdmmc"));
    if (expected)
        QVERIFY(node.remove());
    else
        QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();
    QCOMPARE(s.isSDMounted(), !expected);
    if (expected)
        QVERIFY(node.open(QIODevice::WriteOnly));
    else
        QVERIFY(node.remove());
    node.close();
    QCOMPARE(s.isSDMounted(), expected);
}

void SysStatusLocalTest::currentConnection()
{
    SysStatus& s = SysStatus::instance();
    // The sandbox's own network namespace: loopback only.
    QCOMPARE(s.currentConnection(), QString());

    // Interfaces of our own, inside this private namespace only; no traffic.
    // The kernel reports a changed link state a moment later.
    if (!ip({"link", "add", "ppp0", "type", "veth", "peer", "name", "peer1"}))
        QSKIP("cannot create network interfaces here");
    QTRY_COMPARE_WITH_TIMEOUT(s.currentConnection(), QString(), 3000);   // down
    QVERIFY(ip({"addr", "add", "192.0.2.9/24", "dev", "ppp0"}));
    QVERIFY(ip({"link", "set", "ppp0", "up"}));
    QVERIFY(ip({"link", "set", "peer1", "up"}));
    QTRY_COMPARE_WITH_TIMEOUT(s.currentConnection(), QStringLiteral("3g"), 3000);

    QVERIFY(ip({"link", "add", "eth0", "type", "veth", "peer", "name", "peer0"}));
    QVERIFY(ip({"addr", "add", "192.0.2.1/24", "dev", "eth0"}));
    QVERIFY(ip({"link", "set", "eth0", "up"}));
    QVERIFY(ip({"link", "set", "peer0", "up"}));
    QTRY_COMPARE_WITH_TIMEOUT(s.currentConnection(), QStringLiteral("3g"), 3000);   // ppp0 comes first
    QVERIFY(ip({"link", "set", "ppp0", "down"}));
    QTRY_COMPARE_WITH_TIMEOUT(s.currentConnection(), QStringLiteral("wifi"), 3000);
    QVERIFY(ip({"link", "set", "eth0", "down"}));
    QTRY_COMPARE_WITH_TIMEOUT(s.currentConnection(), QString(), 3000);
    ip({"link", "del", "eth0"});
    ip({"link", "del", "ppp0"});
}

QTEST_GUILESS_MAIN(SysStatusLocalTest)
#include "tst_sysstatus_local.moc"
