// The Wi-Fi client against a real wpa_supplicant: its wired driver on a veth
// pair of the sandbox's own network namespace, so every reply and event is
// wpa_supplicant's own. What it stored is read back with wpa_cli and from
// the configuration it saved.
#include "network/wpaconnection.h"
#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString Interface = QStringLiteral("eth7");
const QString Config = QStringLiteral("/root/wpa_supplicant.conf");
const QString Address = QStringLiteral("10.7.0.2");

QByteArray wpaCli(const QStringList& arguments)
{
    return support::outputOf(QStringLiteral("wpa_cli"),
                             QStringList{QStringLiteral("-i"), Interface} + arguments);
}

WifiProfile profile(const QByteArray& ssid, const QString& flags)
{
    WifiProfile ap;
    ap.setValue(QStringLiteral("ssid"), ssid);
    ap.setValue(QStringLiteral("bssid"), QStringLiteral("02:00:00:00:07:01"));
    ap.setValue(QStringLiteral("capabilities"), flags);
    return ap;
}

} // namespace

class WpaConnectionTest : public QObject
{
    Q_OBJECT

    support::HelperProcess supplicant;
    support::SystemManager systemManager;
    std::unique_ptr<WpaConnection> wpa;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QCOMPARE(QProcess::execute(QStringLiteral("ip"),
                                   {"link", "add", Interface, "type", "veth", "peer", "name", "eth7p"}),
                 0);
        QVERIFY(support::writeFile(Config, "ctrl_interface=/var/run/wpa_supplicant\n"
                                           "update_config=1\nap_scan=0\n"));
        QVERIFY(supplicant.startUntil(QStringLiteral("wpa_supplicant"),
                                      {"-D", "wired", "-i", Interface, "-c", Config}, [] {
                                          return QFile::exists("/var/run/wpa_supplicant/eth7");
                                      }));
        // Qt counts an interface as up once it has a carrier: the peer too.
        QVERIFY(systemManager.start({"--sdio", "--address-command",
                                     "ip addr replace 10.7.0.2/24 dev eth7 && ip link set eth7p up"
                                     " && ip link set eth7 up"}));
        wpa = std::make_unique<WpaConnection>(sys::SysStatus::instance());
        QCOMPARE(wpa->openCtrlConnection(), 0);
        QCOMPARE(wpa->interfaceName(), Interface);
    }

    void init() { QVERIFY(wpa->removeAllNetworks()); }

    void cleanupTestCase() { wpa.reset(); }

    // Connected: the monitor hears it, the configuration is saved, and the
    // system manager's address makes it complete.
    void monitorEvents()
    {
        QSignalSpy states(wpa.get(), &WpaConnection::stateChanged);
        QSignalSpy messages(wpa.get(), &WpaConnection::messageReceived);
        QVERIFY(wpa->connectTo(profile("wired", "[ESS]")));
        QTRY_VERIFY_WITH_TIMEOUT(!states.isEmpty() && states.last().at(1).toInt()
                                                           == WpaConnection::StateAddressAcquired,
                                 10000);
        QList<int> seen;
        for (const QList<QVariant>& state : qAsConst(states))
            seen << state.at(1).toInt();
        QCOMPARE(seen, (QList<int>{WpaConnection::StateConnecting, WpaConnection::StateAssociated,
                                   WpaConnection::StateAcquiringAddress,
                                   WpaConnection::StateAddressAcquired}));
        QCOMPARE(states.last().at(0).value<WifiProfile>().ssid(), QByteArray("wired"));
        QCOMPARE(wpa->address(), Address);
        QVERIFY(std::any_of(messages.cbegin(), messages.cend(), [](const QList<QVariant>& m) {
            return m.at(0).toByteArray().contains("CTRL-EVENT-CONNECTED");
        }));
        QVERIFY(support::readFile(Config).contains("ssid=\"wired\""));
        int acquired = 0;
        for (const QJsonObject& call : systemManager.calls())
            acquired += call.value("method") == "acquireAddress";
        QCOMPARE(acquired, 1);
    }

    void setNetworkParam_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("quote");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("stored"); // as GET_NETWORK answers

        const QByteArray long4k(4000, 'x');
        QTest::newRow("quoted") << QByteArray("ssid") << QByteArray("home") << true << true
                                << QByteArray("\"home\"");
        QTest::newRow("bare") << QByteArray("ssid") << QByteArray("686f6d65") << false << true
                              << QByteArray("\"home\"");
        QTest::newRow("quotes and blanks") << QByteArray("ssid") << QByteArray("say \"hi\" now")
                                           << true << true << QByteArray("\"say \"hi\" now\"");
        QTest::newRow("non-ASCII") << QByteArray("ssid") << QByteArray("Caf\xc3\xa9") << true << true
                                   << QByteArray("436166c3a9");
        QTest::newRow("line feed") << QByteArray("ssid") << QByteArray("a\nb") << true << true
                                   << QByteArray("610a62");
        QTest::newRow("NUL byte") << QByteArray("ssid") << QByteArray("a\0b", 3) << true << true
                                  << QByteArray("610062");
        QTest::newRow("long, not cut") << QByteArray("identity") << long4k << true << true
                                       << '"' + long4k + '"';
        QTest::newRow("too long to send") << QByteArray("identity") << QByteArray(5000, 'x')
                                          << true << false << QByteArray("FAIL\n");
        QTest::newRow("passphrase quoting can't carry") << QByteArray("psk")
                                                        << QByteArray("ab\ncdefgh") << true
                                                        << false << QByteArray("FAIL\n");
    }

    void setNetworkParam()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, quote);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, stored);
        const int id = wpa->addNetwork();
        QCOMPARE(wpa->setNetworkParam(id, field, value, quote), accepted);
        QCOMPARE(wpaCli({"get_network", QString::number(id), QString::fromLatin1(field)}), stored);
    }

    // The network each kind of access point gets, as wpa_supplicant saves it.
    void connectTo_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QByteArray>("ssid");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("saved");

        QTest::newRow("open") << "[ESS]" << QByteArray("Open Caf\xc3\xa9") << QString()
                              << QStringList{"ssid=4f70656e20436166c3a9", "key_mgmt=NONE"};
        QTest::newRow("WEP") << "[WEP][ESS]" << QByteArray("OldRouter") << "abcde"
                             << QStringList{"ssid=\"OldRouter\"", "key_mgmt=NONE",
                                            "wep_key0=\"abcde\"", "auth_alg=SHARED"};
        QTest::newRow("WEP hex key") << "[WEP][ESS]" << QByteArray("OldRouter") << "01020304ff"
                                     << QStringList{"wep_key0=01020304ff"};
        QTest::newRow("WPA2") << "[WPA2-PSK-CCMP][ESS]" << QByteArray("HomeNet")
                              << "pass \"word\" 1"
                              << QStringList{"ssid=\"HomeNet\"", "psk=\"pass \"word\" 1\"",
                                             "proto=RSN", "key_mgmt=WPA-PSK", "pairwise=CCMP"};
        // No quoting carries it: the key the access point derives (IEEE
        // 802.11i's PBKDF2, worked out apart from this code).
        QTest::newRow("WPA2 passphrase with a line feed")
            << "[WPA2-PSK-CCMP][ESS]" << QByteArray("HomeNet") << "line\nfeed key"
            << QStringList{"psk=f4d25293b7e6ad174d6b4e2f61cc9d9f11a8c53db7205e66c1cc3bdf5115c781"};
    }

    void connectTo()
    {
        QFETCH(QString, flags);
        QFETCH(QByteArray, ssid);
        QFETCH(QString, key);
        QFETCH(QStringList, saved);
        WifiProfile ap = profile(ssid, flags);
        ap.setPsk(flags.contains("WPA") ? key : QString());
        ap.setWepKey1(flags.contains("WEP") ? key : QString());
        ap.setAuthAlg(flags.contains("WEP") ? "SHARED" : QString());
        QVERIFY(wpa->connectTo(ap));
        QVERIFY(wpa->saveConf());
        const QByteArray config = support::readFile(Config);
        for (const QString& line : saved)
            QVERIFY2(config.contains('\t' + line.toUtf8() + '\n'), config.constData());
    }

    // Without its key nothing is enabled; the key is asked for.
    void connectToWithoutKey()
    {
        QSignalSpy asked(wpa.get(), &WpaConnection::needPassword);
        for (const char* flags : {"[WPA2-PSK-CCMP][ESS]", "[WEP][ESS]"})
            QVERIFY(!wpa->connectTo(profile("locked", flags)));
        QCOMPARE(asked.size(), 2);
        QVERIFY(wpaCli({"list_networks"}).contains("[DISABLED]"));
    }
};

QTEST_GUILESS_MAIN(WpaConnectionTest)
#include "tst_wpaconnection.moc"
