#include "network/wifinetworkproperties.h"

#include <QStringList>

#include <algorithm>

namespace sys {

namespace {

const char* const Ssid = "ssid";
const char* const Bssid = "bssid";
const char* const Psk = "psk";
const char* const WepKeys[] = {"wep_key1", "wep_key2", "wep_key3", "wep_key4"};
const char* const AuthAlg = "AUTH_ALG";
const char* const Proto = "proto";
const char* const KeyMgmt = "key_mgmt";
const char* const Pairwise = "pairwise";
const char* const Capabilities = "capabilities";
const char* const Level = "level";
const char* const Count = "count";
const char* const Retry = "retry";

// Kept in the configuration store; the rest belongs to one scan.
const char* const RecordKeys[] = {
    "ssid", "bssid", "capabilities", "key_mgmt", "proto", "pairwise", "psk",
    "wep_key1", "wep_key2", "wep_key3", "wep_key4", "AUTH_ALG", "count", "retry",
    "dhcp", "user", "password",
};

// A level this low or lower is no signal at all; -50 dBm and better is full.
const int NoSignalDbm = -100;
const int FullSignalDbm = -50;

} // namespace

WifiNetworkProperties::WifiNetworkProperties(const QVariantMap& properties)
    : map(properties)
{
}

QString WifiNetworkProperties::text(const char* key) const
{
    return map.value(QLatin1String(key)).toString();
}

QByteArray WifiNetworkProperties::ssid() const
{
    return map.value(QLatin1String(Ssid)).toByteArray();
}

QString WifiNetworkProperties::displayName() const
{
    return QString::fromUtf8(ssid());
}

QString WifiNetworkProperties::bssid() const
{
    return text(Bssid);
}

bool WifiNetworkProperties::sameAccessPoint(const WifiNetworkProperties& other) const
{
    return bssid() == other.bssid();
}

QString WifiNetworkProperties::psk() const
{
    return text(Psk);
}

void WifiNetworkProperties::setPsk(const QString& psk)
{
    map.insert(QLatin1String(Psk), psk);
}

QString WifiNetworkProperties::wepKey1() const
{
    return text(WepKeys[0]);
}

QString WifiNetworkProperties::wepKey2() const
{
    return text(WepKeys[1]);
}

QString WifiNetworkProperties::wepKey3() const
{
    return text(WepKeys[2]);
}

QString WifiNetworkProperties::wepKey4() const
{
    return text(WepKeys[3]);
}

void WifiNetworkProperties::setWepKey1(const QString& key)
{
    map.insert(QLatin1String(WepKeys[0]), key);
}

QString WifiNetworkProperties::authAlg() const
{
    return text(AuthAlg);
}

void WifiNetworkProperties::setAuthAlg(const QString& algorithm)
{
    map.insert(QLatin1String(AuthAlg), algorithm);
}

void WifiNetworkProperties::clearCredentials()
{
    map.remove(QLatin1String(Psk));
    for (const char* key : WepKeys)
        map.remove(QLatin1String(key));
}

QString WifiNetworkProperties::proto() const
{
    return text(Proto);
}

QString WifiNetworkProperties::keyMgmt() const
{
    return text(KeyMgmt);
}

QString WifiNetworkProperties::pairwise() const
{
    return text(Pairwise);
}

bool WifiNetworkProperties::isWep() const
{
    return text(Capabilities).contains(QLatin1String("WEP"));
}

bool WifiNetworkProperties::isWpa() const
{
    return text(Capabilities).contains(QLatin1String("[WPA-"));
}

bool WifiNetworkProperties::isWpa2() const
{
    return text(Capabilities).contains(QLatin1String("[WPA2-"));
}

void WifiNetworkProperties::deriveEncryption()
{
    const QString flags = text(Capabilities);
    QStringList protos;
    QString keyMgmt = QStringLiteral("NONE");
    if (flags.contains(QLatin1String("[WPA-EAP")) || flags.contains(QLatin1String("[WPA-PSK")))
        protos << QStringLiteral("WPA");
    if (flags.contains(QLatin1String("[WPA2-EAP")) || flags.contains(QLatin1String("[WPA2-PSK")))
        protos << QStringLiteral("RSN");
    if (flags.contains(QLatin1String("[WPA2-EAP")) || flags.contains(QLatin1String("[WPA-EAP")))
        keyMgmt = QStringLiteral("WPA-EAP");
    else if (flags.contains(QLatin1String("[WPA2-PSK")) || flags.contains(QLatin1String("[WPA-PSK")))
        keyMgmt = QStringLiteral("WPA-PSK");
    QStringList ciphers;
    if (!protos.isEmpty()) {
        if (flags.contains(QLatin1String("CCMP")))
            ciphers << QStringLiteral("CCMP");
        if (flags.contains(QLatin1String("TKIP")))
            ciphers << QStringLiteral("TKIP");
    }
    map.insert(QLatin1String(Proto), protos.join(QLatin1Char(' ')));
    map.insert(QLatin1String(KeyMgmt), keyMgmt);
    map.insert(QLatin1String(Pairwise), ciphers.join(QLatin1Char(' ')));
}

int WifiNetworkProperties::quality() const
{
    bool ok = false;
    const int level = map.value(QLatin1String(Level)).toInt(&ok);
    if (!ok)
        return 0;
    return qBound(0, 100 * (level - NoSignalDbm) / (FullSignalDbm - NoSignalDbm), 100);
}

int WifiNetworkProperties::count() const
{
    return map.value(QLatin1String(Count)).toInt();
}

void WifiNetworkProperties::setCount(int count)
{
    map.insert(QLatin1String(Count), count);
}

void WifiNetworkProperties::increaseCount()
{
    setCount(count() + 1);
}

void WifiNetworkProperties::resetRetry()
{
    map.insert(QLatin1String(Retry), 0);
}

QVariantMap WifiNetworkProperties::record() const
{
    QVariantMap record;
    for (const char* key : RecordKeys) {
        const auto it = map.constFind(QLatin1String(key));
        if (it != map.constEnd())
            record.insert(it.key(), it.value());
    }
    return record;
}

bool WifiNetworkProperties::fromRecord(const QVariantMap& record, WifiNetworkProperties& profile)
{
    const QVariant bssid = record.value(QLatin1String(Bssid));
    const QVariant ssid = record.value(QLatin1String(Ssid));
    if (bssid.userType() != QMetaType::QString || bssid.toString().isEmpty()
        || ssid.userType() != QMetaType::QByteArray)
        return false;
    profile = WifiNetworkProperties();
    for (const char* key : RecordKeys) {
        const auto it = record.constFind(QLatin1String(key));
        if (it != record.constEnd())
            profile.map.insert(it.key(), it.value());
    }
    return true;
}

void sortByQuality(QVector<WifiNetworkProperties>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const WifiNetworkProperties& a, const WifiNetworkProperties& b) {
                         return a.quality() > b.quality();
                     });
}

void sortByCount(QVector<WifiNetworkProperties>& list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const WifiNetworkProperties& a, const WifiNetworkProperties& b) {
                         return a.count() > b.count();
                     });
}

} // namespace sys
