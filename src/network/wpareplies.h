#pragma once

#include "network/wifinetworkproperties.h"

#include <QByteArray>
#include <QVariantMap>

// Readers of wpa_supplicant's control replies, in its published formats.
namespace wpa {

// Undoes wpa_supplicant's escaping of texts in replies (\\, \", \n, \r,
// \t, \e, \xHH and octal), so an SSID comes back as its bytes.
QByteArray decodeText(const QByteArray& text);

// "SCAN_RESULTS": a header line, then bssid, frequency, signal level,
// flags and SSID separated by tabs.
WifiProfiles parseScanResults(const QByteArray& reply);

// "LIST_NETWORKS": a header line, then network id, SSID, bssid and flags.
WifiProfiles parseNetworkList(const QByteArray& reply);

// "STATUS", "BSS": one key=value a line.
QVariantMap parseKeyValues(const QByteArray& reply);

} // namespace wpa
