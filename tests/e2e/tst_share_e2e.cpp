// The share on the emulated device, as its owner meets it, starting with no
// network: Right with no settings opens the settings dialog; OK first opens
// the Wi-Fi dialog, where the WPA2 access point asks for its key (a wrong one
// is asked for again), then hands over to the launcher, which mounts the
// emulated server's shares and starts lirro again on them; Sync runs rsync
// both ways; Exit unmounts. The password is one a shell would take for
// commands.
#include "e2e/devicesession.h"
#include "fileops/runcommandsync.h"
#include "share/sharescripts.h"
#include "support/files.h"
#include "support/sandbox.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString Server = QStringLiteral("/tmp/lirro-share/192.168.0.10");
const QString Password = QStringLiteral("a b;touch /tmp/pwned $(reboot) `reboot` \"q\" 'q' \\ *");
const QString DialogTitle = QStringLiteral("CIFS server configuration");
// Rows of the docked dialog below its top edge (the device's font at 72 dpi).
const int AnonimousRow = 172;
const int LoginRow = 212;
const int PasswordRow = 252;
const int ButtonRow = 396;

} // namespace

class ShareEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { REQUIRE_SANDBOX(); }

    void mountSyncExit()
    {
        // Dropbox admits alice with that password only; the device side of
        // its pair already holds a file of its own.
        QVERIFY(support::writeFile(Server + "/.access/Dropbox", ("alice:" + Password + '\n').toUtf8()));
        QVERIFY(support::writeFile(Flash + "/downloads/Dropbox/from_device.txt", "written on the device\n"));
        qputenv("LIRRO_DEVICE_NETWORK", "none");
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));

        QVERIFY(device.key("Right") && device.waitForWindow(DialogTitle));
        VERIFY_PANEL_STEADY(device, "settings dialog");
        const int top = device.otherWindows().value(0).top();
        QVERIFY(device.click(12, top + AnonimousRow));
        QVERIFY(device.click(375, top + LoginRow) && device.type("alice"));
        QVERIFY(device.click(375, top + PasswordRow) && device.type(Password));
        VERIFY_PANEL_STEADY(device, "login and password typed");
        QVERIFY(device.input(QStringLiteral("tap 73 %1").arg(top + ButtonRow)));

        // The network first: HomeNet, the second, asks for its key.
        QVERIFY(device.waitForWindow("Wi-Fi"));
        QVERIFY(QTest::qWaitFor([&] { return device.logged("wifi", { { "request", "SCAN_RESULTS" } }); }, 30000));
        VERIFY_PANEL(device, "access points listed");
        QVERIFY(device.keys({ "Down", "Return" }) && device.waitForWindow("Password for HomeNet"));
        VERIFY_PANEL_STEADY(device, "key asked for");
        QVERIFY(device.type("not the key") && device.keys({ "Up", "Up", "Left", "Return" }));
        QVERIFY(device.waitForWindow("Wrong password for HomeNet"));
        QVERIFY(device.logged("wifi", { { "event", "WPA: 4-Way Handshake failed - pre-shared key may be incorrect" } }));
        VERIFY_PANEL_STEADY(device, "wrong key said so");
        QVERIFY(device.type("battery staple") && device.keys({ "Up", "Up", "Left", "Return" }));

        // Connected: the dialog closes by itself and the share is mounted.
        QVERIFY(device.waitForWindow("Wi-Fi", false));
        QVERIFY(device.waitForRestart());
        QVERIFY2(device.waitForTitle(ShareMountRoot), qPrintable(device.title()));
        VERIFY_PANEL(device, "the shares listed");
        QVERIFY(device.logged("system-manager", { { "method", "acquireAddress" } })
                && device.logged("system-manager", { { "signal", "addressAcquired" } }));
        QVERIFY(device.logged("wifi", { { "request", "SET_NETWORK 2 psk \"battery staple\"" } }));
        const QList<QJsonObject> launcher = device.log("launcher");
        QCOMPARE(launcher.value(1).value("status").toInt() + launcher.value(3).value("status").toInt(), 123);
        QCOMPARE(launcher.value(4).value("args").toArray().last().toString(), QString("ZorUdu123"));

        // Sync with ZorUdu (File, the second entry from its end).
        QVERIFY(device.menu({ "Up", "Up" }));
        QVERIFY(device.waitForWindow("rsync output"));
        QVERIFY(device.key("Escape") && device.waitForWindow("rsync output", false));
        for (const char* pair : { "first_shared_dir/sync_dir:downloads/sync_dir", "Dropbox:downloads/Dropbox" })
            QCOMPARE(support::treeOf(Flash + '/' + QString(pair).section(':', 1)),
                     support::treeOf(Server + '/' + QString(pair).section(':', 0, 0)));
        QCOMPARE(support::readFile(Server + "/Dropbox/from_device.txt"), QByteArray("written on the device\n"));

        // Sync with Internet time (Device, the third entry): the server's
        // time shown, the clocks set from it.
        QVERIFY(device.menu({ "Right", "Right", "Down", "Down" }));
        QVERIFY(device.waitForWindow("Program output") && device.key("Escape") && device.waitForWindow("Program output", false));
        QTRY_COMPARE(support::readJsonLines("/tmp/lirro-device/hwclock.log").value(0).value("args").toArray(), QJsonArray({ "-w", "-u" }));
        QCOMPARE(support::readJsonLines("/tmp/lirro-device/rdate.log").size(), 2);

        // Exit from inside a share: it is unmounted, and nothing of it removed.
        const QMap<QString, QByteArray> server = support::treeOf(Server);
        QVERIFY(device.keys({ "Down", "Return" }) && device.waitForTitle(QString(ShareMountRoot) + "/Dropbox"));
        QVERIFY(device.menu({ "Up" }));
        int status = -1;
        QVERIFY(device.waitForExit(&status));
        QCOMPARE(status, 0);
        QCOMPARE(shareMounts(runCommandSync(QStringLiteral("mount"))), QStringList());
        QVERIFY(!QFile::exists(ShareMountRoot));
        QCOMPARE(support::treeOf(Server), server);
        QVERIFY(!QFile::exists("/tmp/pwned") && !QFile::exists("/tmp/lirro-device/reboot.log"));
    }
};

QTEST_GUILESS_MAIN(ShareEndToEnd)
#include "tst_share_e2e.moc"
