// The connection policy and the Wi-Fi dialog on the emulated device's Wi-Fi:
// the system manager stand-in powers the radio and starts the wpa_supplicant
// stand-in (four access points in range: open "Café Libre", WPA2 "HomeNet",
// WEP "OldRouter", "Far Away" that never answers) and gives the address.
#include "network/wifidialog.h"
#include "network/wpaconnectionmanager.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
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

// The bars filled in a row's icon, and whether it shows the lock.
QPair<int, bool> iconOf(const QListWidgetItem* item)
{
    const QImage image = item->icon().pixmap(64, 32).toImage();
    int bars = 0;
    for (int i = 0; i < 4; ++i)
        bars += image.pixelColor(7 + 10 * i, 28) == Qt::black;
    return {bars, image.pixelColor(53, 22) == Qt::black};
}

// Answers the keyboard prompts, in turn: a password, or none to cancel.
void answer(support::ModalDriver& driver, const QStringList& passwords)
{
    driver.actions << [](QDialog*) {}; // the Wi-Fi dialog itself stays
    for (const QString& password : passwords) {
        driver.actions << [password](QDialog* dialog) {
            auto* prompt = static_cast<ui::VexaKeyboardDialog*>(dialog);
            prompt->lineEdit()->setText(password);
            prompt->accept();
        };
    }
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

    bool openOn(ui::WifiDialog& dialog, const QStringList& options)
    {
        if (!startDevice(options))
            return false;
        dialog.show();
        return QTest::qWaitFor([&] {
            return !dialog.shownState().isEmpty() && dialog.shownState() != "Scanning...";
        }, 10000);
    }

    // OK on a row, with the device's key.
    static void choose(ui::WifiDialog& dialog, int row)
    {
        dialog.accessPoints()->setCurrentRow(row);
        QTest::keyClick(&dialog, Qt::Key_Return);
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
    // (WPA2 with the right key connects in handshakeFailure; an access point
    // that never answers is the dialog's "Timeout.")
    void ownersChoice_data()
    {
        QTest::addColumn<QString>("bssid");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("connects");
        QTest::newRow("open") << "02:00:00:00:01:01" << QString() << true;
        QTest::newRow("WPA2, wrong key") << HomeNet << "wrong key 123" << false;
        QTest::newRow("WEP") << OldRouter << "abcde" << true;
        QTest::newRow("WEP, wrong key") << OldRouter << "zzzzz" << false;
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

    // The access points with their signal and lock, then a way to scan
    // again; a wrong key says so and is asked for again; the right one
    // connects and closes the dialog with a connection.
    void chooseAndConnect()
    {
        ui::WifiDialog dialog(nullptr, sys::SysStatus::instance());
        support::ModalDriver driver;
        answer(driver, {"qwertyui", "battery staple"});
        QSignalSpy closed(&dialog, &QDialog::finished);
        QVERIFY(openOn(dialog, {"--sdio"}));
        QCOMPARE(dialog.shownState(), QStringLiteral("Ready"));
        QListWidget* list = dialog.accessPoints();
        QStringList rows;
        QList<QPair<int, bool>> icons;
        for (int i = 0; i < list->count(); ++i) {
            rows << list->item(i)->text();
            if (!list->item(i)->icon().isNull())
                icons << iconOf(list->item(i));
        }
        QCOMPARE(rows, (QStringList{"Café Libre", "HomeNet", "OldRouter", "Far Away", "Scan again"}));
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(icons, (QList<QPair<int, bool>>{{4, false}, {4, true}, {3, true}, {2, false}}));

        // Scan again keeps the cursor there.
        QSignalSpy states(dialog.manager(), &WpaConnectionManager::connectionChanged);
        choose(dialog, 4);
        QVERIFY(QTest::qWaitFor([&] {
            return !states.isEmpty() && states.last().at(1).toInt() == WpaConnection::StateReady;
        }, 10000));
        QCOMPARE(list->currentRow(), 4);

        choose(dialog, 1);
        QVERIFY(closed.wait(15000));
        QCOMPARE(closed.first().at(0).toInt(), int(QDialog::Accepted));
        QCOMPARE(dialog.shownState(), QStringLiteral("Connected: 192.168.0.57"));
        QStringList titles;
        for (const support::ModalSeen& seen : driver.seen)
            titles << seen.title;
        QCOMPARE(titles, (QStringList{"Wi-Fi", "Password for HomeNet", "Wrong password for HomeNet"}));
    }

    void dialogStates_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::newRow("radio off") << QStringList{"--sdio-locked"} << -1 << "Wifi is disabled.";
        QTest::newRow("never answers") << QStringList{"--sdio"} << 3 << "Timeout.";
        QTest::newRow("key not given") << QStringList{"--sdio"} << 2 << "Aborted.";
    }

    void dialogStates()
    {
        QFETCH(QStringList, options);
        QFETCH(int, row);
        QFETCH(QString, text);
        ui::WifiDialog dialog(nullptr, sys::SysStatus::instance());
        support::ModalDriver driver;
        answer(driver, {});
        QVERIFY(openOn(dialog, options));
        if (row >= 0)
            choose(dialog, row);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.shownState(), text, 10000);
        QVERIFY(dialog.isVisible());
    }
};

QTEST_MAIN(WpaConnectionManagerTest)
#include "tst_wpaconnectionmanager.moc"
