// Wi-Fi on the emulated device, as its owner meets it: the device starts
// with no network, so the share command opens the Wi-Fi dialog; the WPA2
// access point asks for its key, a wrong one is asked for again, the right
// one connects and the share command goes on to the launcher's mount.
#include "e2e/devicesession.h"
#include "share/sharescripts.h"
#include "support/sandbox.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString SettingsTitle = QStringLiteral("CIFS server configuration");
// The settings dialog's OK, below its top edge (the device's font at 72 dpi).
const int ButtonRow = 396;

bool logged(const QList<QJsonObject>& log, const QString& key, const QString& text)
{
    return std::any_of(log.cbegin(), log.cend(),
                       [&](const QJsonObject& line) { return line.value(key).toString() == text; });
}

} // namespace

class WifiEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { REQUIRE_SANDBOX(); }

    void shareCommandConnectsFirst()
    {
        qputenv("LIRRO_DEVICE_NETWORK", "none");
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));

        // Right: the share's settings (as they come), then its network.
        QVERIFY(device.key("Right") && device.waitForWindow(SettingsTitle));
        const int top = device.otherWindows().value(0).top();
        QVERIFY(device.input(QStringLiteral("tap 73 %1").arg(top + ButtonRow)));
        QVERIFY(device.waitForWindow("Wi-Fi"));
        QVERIFY(QTest::qWaitFor([&] { return logged(device.log("wifi"), "request", "SCAN_RESULTS"); }, 10000));
        VERIFY_PANEL(device, "access points listed");

        // HomeNet, the second: its key is asked for.
        QVERIFY(device.keys({ "Down", "Return" }) && device.waitForWindow("Password for HomeNet"));
        VERIFY_PANEL_STEADY(device, "key asked for");
        QVERIFY(device.type("not the key") && device.keys({ "Up", "Up", "Left", "Return" }));
        QVERIFY(device.waitForWindow("Wrong password for HomeNet"));
        QVERIFY(logged(device.log("wifi"), "event", "WPA: 4-Way Handshake failed - pre-shared key may be incorrect"));
        VERIFY_PANEL_STEADY(device, "wrong key said so");
        QVERIFY(device.type("battery staple") && device.keys({ "Up", "Up", "Left", "Return" }));

        // Connected: the dialog closes by itself and the share is mounted.
        QVERIFY(device.waitForWindow("Wi-Fi", false));
        QVERIFY(device.waitForRestart());
        QVERIFY2(device.waitForTitle(ShareMountRoot), qPrintable(device.title()));
        VERIFY_PANEL(device, "the shares listed");
        const QList<QJsonObject> manager = device.log("system-manager");
        QVERIFY(logged(manager, "method", "acquireAddress") && logged(manager, "signal", "addressAcquired"));
        QVERIFY(logged(device.log("wifi"), "request", "SET_NETWORK 2 psk \"battery staple\""));
        QCOMPARE(device.log("launcher").value(1).value("status").toInt(), 123);
    }
};

QTEST_GUILESS_MAIN(WifiEndToEnd)
#include "tst_wifi_e2e.moc"
