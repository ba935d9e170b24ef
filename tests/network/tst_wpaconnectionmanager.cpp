// The connection policy on the emulated device's Wi-Fi: the system manager
// stand-in powers the radio and starts the wpa_supplicant stand-in (four
// access points in range: open "Café Libre", WPA2 "HomeNet", WEP
// "OldRouter", "Far Away" that never answers) and gives the address.
#include "network/wpaconnectionmanager.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString WifiLog = QStringLiteral("/root/wifi.log");
const QString HomeNet = QStringLiteral("02:00:00:00:01:02");
const QString OldRouter = QStringLiteral("02:00:00:00:01:03");
const QString Passphrase = QStringLiteral("battery staple");

WifiProfile homeNet(const QString& psk, int count)
{
    WifiProfile ap;
    ap.setValue("ssid", QByteArray("HomeNet"));
    ap.setValue("bssid", HomeNet);
    ap.setValue("capabilities", "[WPA2-PSK-CCMP][ESS]");
    ap.setPsk(psk);
    ap.setCount(count);
    return ap;
}

// The wpa_supplicant stand-in's requests that start with prefix.
QStringList requests(const QString& prefix)
{
    QStringList found;
    for (const QJsonObject& line : support::readJsonLines(WifiLog)) {
        if (line.value("request").toString().startsWith(prefix))
            found << line.value("request").toString();
    }
    return found;
}

int callsTo(const support::SystemManager& systemManager, const QString& method)
{
    int count = 0;
    for (const QJsonObject& call : systemManager.calls())
        count += call.value("method") == method;
    return count;
}

WifiProfiles remembered()
{
    QList<QVariantMap> rows;
    sys::SystemConfig().loadWifiProfiles(rows);
    WifiProfiles profiles;
    for (const QVariantMap& row : rows)
        profiles << WifiProfile(row);
    return profiles;
}

} // namespace

class WpaConnectionManagerTest : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;
    WpaConnectionManager* manager = nullptr;
    QSignalSpy* states = nullptr;

    bool startDevice(const QStringList& options)
    {
        return systemManager.start(support::SystemManager::wifiOptions(WifiLog) + options);
    }

    bool waitForState(int state, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] {
            return std::any_of(states->cbegin(), states->cend(),
                               [&](const QList<QVariant>& s) { return s.at(1).toInt() == state; });
        }, timeoutMs);
    }

private slots:
    void init()
    {
        REQUIRE_SANDBOX();
        QCOMPARE(QProcess::execute(qEnvironmentVariable("LIRRO_SOURCE_DIR") + "/emulator/wifi/wifi-device",
                                   {"stop"}),
                 0);
        QFile::remove(WifiLog);
        QFile::remove(systemManager.logPath());
        QFile::remove(sys::SystemConfig::databasePath());
        { sys::SystemConfig create; }
        manager = new WpaConnectionManager(sys::SysStatus::instance());
        states = new QSignalSpy(manager, &WpaConnectionManager::connectionChanged);
    }

    void cleanup()
    {
        delete states;
        delete manager;
        systemManager.stop();
    }

    // A remembered access point in range is connected to, with its key;
    // a row of the store that is no profile is left out.
    void connectsToRemembered()
    {
        QVERIFY(sys::SystemConfig().saveWifiProfiles({homeNet(Passphrase, 3).record()}));
        QCOMPARE(QProcess::execute("sqlite3", {sys::SystemConfig::databasePath(),
                                               "insert into wifi_conf values (-1, x'00ff00ff')"}),
                 0);
        QVERIFY(startDevice({"--sdio"}));
        manager->start();
        QVERIFY(waitForState(WpaConnection::StateAddressAcquired));
        QList<int> seen;
        for (const QList<QVariant>& s : qAsConst(*states))
            seen << s.at(1).toInt();
        QCOMPARE(seen, (QList<int>{WpaConnection::StateNone, WpaConnection::StateScanning,
                                   WpaConnection::StateScanning, WpaConnection::StateReady,
                                   WpaConnection::StateConnecting, WpaConnection::StateAssociated,
                                   WpaConnection::StateAddressAcquired}));
        QCOMPARE(states->last().at(0).value<WifiProfile>().ssid(), QByteArray("HomeNet"));
        QCOMPARE(manager->address(), QStringLiteral("192.168.0.57"));
        WifiProfiles scanned;
        manager->scanResults(scanned);
        QCOMPARE(scanned.size(), 4);
        QVERIFY(std::any_of(scanned.cbegin(), scanned.cend(), [](const WifiProfile& ap) {
            return ap.displayName() == QStringLiteral("Café Libre");
        }));
        QCOMPARE(requests("SET_NETWORK 0 psk"), QStringList{"SET_NETWORK 0 psk \"battery staple\""});
        QCOMPARE(remembered().value(0).count(), 4);
    }

    // A failing key is tried once more with the remembered one; then the
    // owner is asked, and the key given connects and is remembered.
    void handshakeFailure()
    {
        QVERIFY(sys::SystemConfig().saveWifiProfiles({homeNet("not the key", 2).record()}));
        QVERIFY(startDevice({"--sdio"}));
        QSignalSpy asked(manager, &WpaConnectionManager::passwordRequired);
        manager->start();
        QVERIFY(asked.wait(10000));
        QCOMPARE(requests("SET_NETWORK").filter(" psk ").size(), 2);
        QVERIFY(!asked.wait(1000));
        QCOMPARE(requests("DISCONNECT").size(), 3); // before each try, and to stop wpa_supplicant's
        WifiProfile ap = asked.first().at(0).value<WifiProfile>();
        manager->setPassword(ap, Passphrase);
        QVERIFY(manager->connectTo(ap));
        QVERIFY(waitForState(WpaConnection::StateAddressAcquired));
        QCOMPARE(remembered().value(0).psk(), Passphrase);
    }

    // Nothing remembered: nothing is connected to until the owner chooses.
    void ownersChoice_data()
    {
        QTest::addColumn<QString>("bssid");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("connects");
        QTest::newRow("open") << "02:00:00:00:01:01" << QString() << true;
        QTest::newRow("WPA2") << HomeNet << Passphrase << true;
        QTest::newRow("WPA2, wrong key") << HomeNet << "wrong key 123" << false;
        QTest::newRow("WEP") << OldRouter << "abcde" << true;
        QTest::newRow("WEP, wrong key") << OldRouter << "zzzzz" << false;
        QTest::newRow("never answers") << "02:00:00:00:01:04" << QString() << false;
    }

    void ownersChoice()
    {
        QFETCH(QString, bssid);
        QFETCH(QString, key);
        QFETCH(bool, connects);
        QVERIFY(startDevice({"--sdio"}));
        QSignalSpy unmatched(manager, &WpaConnectionManager::noMatchedAP);
        QSignalSpy asked(manager, &WpaConnectionManager::passwordRequired);
        manager->start();
        QVERIFY(unmatched.wait(10000));
        QCOMPARE(requests("ADD_NETWORK").size(), 0);
        WifiProfiles scanned;
        manager->scanResults(scanned);
        const auto ap = std::find_if(scanned.begin(), scanned.end(),
                                     [&](const WifiProfile& p) { return p.bssid() == bssid; });
        QVERIFY(ap != scanned.end());
        manager->setPassword(*ap, key);
        QVERIFY(manager->connectTo(*ap));
        if (connects) {
            QVERIFY(waitForState(WpaConnection::StateAddressAcquired));
            QCOMPARE(remembered().value(0).bssid(), bssid);
        } else {
            QVERIFY(asked.wait(10000));
            QVERIFY(remembered().isEmpty());
        }
    }

    // wpa_supplicant never comes up: an attempt every 1500 ms, six in all.
    void unreachable()
    {
        QVERIFY(systemManager.start({"--sdio", "--wpa-command", "true"}));
        QElapsedTimer clock;
        clock.start();
        manager->start();
        QVERIFY(waitForState(WpaConnection::StateDeviceFailed, 15000));
        QVERIFY(clock.elapsed() >= 5 * WpaConnectionManager::ScanIntervalMs);
        QCOMPARE(callsTo(systemManager, "enableSdio"), WpaConnectionManager::MaxScanAttempts);
        QCOMPARE(states->last().at(1).toInt(), int(WpaConnection::StateDeviceFailed));
    }

    // The radio is off and stays off: wpa_supplicant is not touched.
    void radioOff()
    {
        QVERIFY(startDevice({"--sdio-locked"}));
        manager->start();
        QVERIFY(waitForState(WpaConnection::StateDisabled));
        QCOMPARE(callsTo(systemManager, "startWpaSupplicant"), 0);
        QVERIFY(!QFile::exists(WifiLog));
    }
};

QTEST_GUILESS_MAIN(WpaConnectionManagerTest)
#include "tst_wpaconnectionmanager.moc"
