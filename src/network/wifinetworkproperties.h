#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QVariantMap>
#include <QVector>

namespace sys {

// One access point as scanned, connected to or remembered: a property map
// under the keys wpa_supplicant's replies and the configuration store use
// ("ssid", "bssid", "psk", "wep_key1", "count", ...). Two profiles stand for
// the same access point when their "bssid" texts are equal.
class WifiNetworkProperties
{
public:
    WifiNetworkProperties() = default;
    explicit WifiNetworkProperties(const QVariantMap& properties);

    QVariant value(const QString& key) const { return map.value(key); }
    void setValue(const QString& key, const QVariant& value) { map.insert(key, value); }
    const QVariantMap& properties() const { return map; }
    bool isEmpty() const { return map.isEmpty(); }

    // The SSID is bytes: any value an access point sends, shown as UTF-8.
    QByteArray ssid() const;
    QString displayName() const;
    QString bssid() const;
    bool sameAccessPoint(const WifiNetworkProperties& other) const;

    QString psk() const;
    void setPsk(const QString& psk);
    QString wepKey1() const;
    QString wepKey2() const;
    QString wepKey3() const;
    QString wepKey4() const;
    void setWepKey1(const QString& key);
    QString authAlg() const;
    void setAuthAlg(const QString& algorithm);
    // Clears every key the profile holds.
    void clearCredentials();

    QString proto() const;
    QString keyMgmt() const;
    QString pairwise() const;
    bool isWep() const;
    bool isWpa() const;
    bool isWpa2() const;
    bool isEncrypted() const { return isWep() || isWpa() || isWpa2(); }
    // Fills proto, key_mgmt and pairwise from the access point's flags.
    void deriveEncryption();

    // Signal quality in percent, from the level in dBm.
    int quality() const;
    int count() const;
    void setCount(int count);
    void increaseCount();
    void resetRetry();

    // What is remembered of an access point in the configuration store:
    // its identity, flags, credentials and use count, nothing of one scan.
    QVariantMap record() const;
    // False for a record that names no access point.
    static bool fromRecord(const QVariantMap& record, WifiNetworkProperties& profile);

private:
    QString text(const char* key) const;

    QVariantMap map;
};

// Best signal first; equal ones keep their order.
void sortByQuality(QVector<WifiNetworkProperties>& list);
// Most used first; equal ones keep their order.
void sortByCount(QVector<WifiNetworkProperties>& list);

} // namespace sys

Q_DECLARE_METATYPE(sys::WifiNetworkProperties)

using WifiProfile = sys::WifiNetworkProperties;
using WifiProfiles = QVector<sys::WifiNetworkProperties>;
