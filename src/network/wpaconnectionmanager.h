#pragma once

#include "network/wifinetworkproperties.h"
#include "network/wpaconnection.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace sys {
class SysStatus;
}

// The automatic connection policy: powers the Wi-Fi radio, makes sure
// wpa_supplicant runs, scans, connects to the best remembered access point,
// retries a failing key once with the remembered one before asking for a
// password, and remembers the access points that worked.
class WpaConnectionManager : public QObject
{
    Q_OBJECT

public:
    // wpa_supplicant's configuration, handed to the system manager that
    // starts it.
    static const char* const ConfigFile;
    // Attempts to reach wpa_supplicant (and scans that find nothing) before
    // giving up, and the pause between two of them.
    static const int MaxScanAttempts = 6;
    static const int ScanIntervalMs = 1500;

    explicit WpaConnectionManager(sys::SysStatus& system, QObject* parent = nullptr);

    // Both (re)start from the first attempt.
    void start();
    void triggerScan();
    void stop();
    // One attempt: radio, wpa_supplicant, then a scan.
    void scan();
    // The owner's choice.
    bool connectTo(const WifiProfile& profile);
    // A WPA profile's key is its passphrase, a WEP profile's its first key.
    void setPassword(WifiProfile& profile, const QString& password);
    // Forgets the profile's key and ranks it last among the remembered.
    void resetProfile(WifiProfile& profile);

    void scanResults(WifiProfiles& list) const { list = lastScan; }
    int state() const { return currentState; }
    WifiProfile connectingAP();
    QString address();
    QString hardwareAddress();
    QString networkInterface();
    void enableAutoConnect(bool enable) { autoConnect = enable; }
    bool allowAutoConnect() const { return autoConnect; }
    // Off: a lost connection is not taken up again by wpa_supplicant.
    void enableAutoReconnect(bool enable) { autoReconnect = enable; }
    bool allowAutoReconnect() const { return autoReconnect; }
    bool enableSdio(bool on);
    bool sdioState();
    bool isWpaSupplicantRunning();
    bool startWpaSupplicant(const QString& confFilePath);
    bool stopWpaSupplicant();

    WpaConnection* proxy();

signals:
    void wpaStateChanged(bool running);
    void connectionChanged(const WifiProfile& profile, WpaConnection::ConnectionState state);
    void passwordRequired(const WifiProfile& profile);
    void noMatchedAP();

private slots:
    void onScanTimeout();
    void onScanReturned(const WifiProfiles& list);
    void onConnectionChanged(const WifiProfile& profile, WpaConnection::ConnectionState state);
    void onNeedPassword(const WifiProfile& profile);
    void onSdioChanged(bool on);

private:
    void restart();
    bool checkWifiDevice();
    bool checkWpaSupplicant();
    bool connectToBestAP();
    void setState(const WifiProfile& profile, WpaConnection::ConnectionState state);
    void setConnecting(bool connecting);
    void saveAp(const WifiProfile& profile);
    void remember(const WifiProfile& profile);
    WifiProfiles& records();
    const WifiProfile* rememberedAs(const WifiProfile& profile);

    sys::SysStatus& system;
    WpaConnection* connection = nullptr;
    QTimer scanTimer;
    int scanCount = 0;
    int retryCount = 0;
    int currentState = WpaConnection::StateNone;
    bool autoConnect = true;
    bool autoReconnect = true;
    bool enabled = true;
    WifiProfiles lastScan;
    WifiProfiles remembered;
    bool rememberedLoaded = false;
};
