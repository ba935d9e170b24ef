#pragma once

#include "network/wifinetworkproperties.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QSocketNotifier;
struct wpa_ctrl;

namespace sys {
class SysStatus;
}

// The client of wpa_supplicant's control interface: text requests and their
// replies on the control connection, event messages on the monitor
// connection, and the connection states they amount to. The address is
// acquired by the system manager, whose "addressAcquired" broadcast says
// when it is there.
class WpaConnection : public QObject
{
    Q_OBJECT

public:
    enum ConnectionState {
        StateNone = -1,
        StateDisabled = 0,
        StateDeviceFailed = 1,
        StateAborted = 2,
        StateScanning = 3,
        StateReady = 4,
        StateConnecting = 5,
        StateDisconnected = 6,
        StatePasswordNeeded = 8,
        StateAssociated = 9,
        StateAcquiringAddress = 10,
        StateAddressAcquired = 11,
        StateNotConnected = 12,
        StateAddressFailed = 13,
        StateTimeout = 14,
        StateNotConnected2 = 15,
    };
    Q_ENUM(ConnectionState)

    // wpa_supplicant makes one control socket per interface here.
    static const char* const ControlDirectory;
    // Replies are read into this much (wpa_cli's size).
    static const int ReplySize = 4096;
    // wpa_supplicant 2.x reads requests up to this size and drops longer
    // ones without a reply, which would leave us waiting for the library's
    // 10 s: longer requests are refused here.
    static const int MaxRequestSize = 4096;

    explicit WpaConnection(sys::SysStatus& system, QObject* parent = nullptr);
    ~WpaConnection() override;

    // The types of the signals, for queued connections.
    static void registerTypes();

    // Opens both connections to the interface's control socket. An empty
    // name keeps the interface, or picks the first one wpa_supplicant runs
    // on. Negative on failure, 0 or more on success.
    int openCtrlConnection(const QString& name = QString());
    void closeCtrlConnection();
    bool isOpen() const { return ctrl != nullptr; }
    QString interfaceName() const { return interface; }
    // The first interface with a control socket, or empty.
    static QString defaultInterface();
    // Whether wpa_supplicant takes connections on the interface's control
    // socket (an empty name: the default interface's).
    static bool isReachable(const QString& name);
    // The interface's IPv4 address, or empty.
    QString address() const;

    bool ping();
    // Broadcasts StateScanning, then asks for a scan; results come as an event.
    bool scan();
    bool scanResults(WifiProfiles& list);
    bool listNetworks(WifiProfiles& list);
    // Details of each access point of the last scan ("BSS").
    bool updateCachedNetworks();
    bool status(QVariantMap& map, bool clear = true);
    bool isComplete();
    // The new network's id, negative on failure.
    int addNetwork();
    // Sends any value as exactly those bytes: quoted when quoting can carry
    // it, else in hex; false when neither can or the request would be too long.
    bool setNetworkParam(int id, const QByteArray& field, const QByteArray& value, bool quote);
    // Index 0 to 3. A key of 10, 26 or 32 hex digits is a hex key.
    bool setWepKey(int id, const QString& key, int index);
    bool enableNetwork(int id);
    bool removeNetwork(int id);
    bool removeAllNetworks();
    bool saveConf();
    bool reAssociate();
    bool disconnectNetwork();
    // Replaces every configured network by one for the profile and
    // connects; false (and needPassword for a missing or refused key) when
    // it could not be configured.
    bool connectTo(const WifiProfile& profile);
    const WifiProfile& connectingAP() const { return connecting; }
    // Reads "STATUS" and "LIST_NETWORKS" into the profile being connected.
    void update();

    // One request on a handle: -3 without one, -2 timed out, other negative
    // values failed (or were too long to send).
    int sendCtrlRequest(wpa_ctrl* handle, const QByteArray& command, QByteArray& reply);

signals:
    void scanResultsReady(const WifiProfiles& list);
    void messageReceived(const QByteArray& message);
    void stateChanged(const WifiProfile& profile, WpaConnection::ConnectionState state);
    void needPassword(const WifiProfile& profile);

private slots:
    void receiveMessages();
    void onAddressAcquired();

private:
    int request(const QByteArray& command, QByteArray& reply);
    bool requestOk(const QByteArray& command);
    bool setPassphrase(int id);
    void parseMessage(const QByteArray& message);
    void broadcastState(ConnectionState state);

    QDBusConnection bus;
    sys::SysStatus& system;
    QString interface;
    wpa_ctrl* ctrl = nullptr;
    wpa_ctrl* monitor = nullptr;
    QSocketNotifier* notifier = nullptr;
    // The access points of the last scan, with their details.
    WifiProfiles networks;
    WifiProfile connecting;
    // The connected events of one association (key negotiation, then
    // connected) acquire one address.
    bool associated = false;
    bool awaitingAddress = false;
};
