#include "network/wpaconnectionmanager.h"

#include "platform/logging.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"

#include <QNetworkInterface>

#include <algorithm>

const char* const WpaConnectionManager::ConfigFile = "/root/Settings/wpa_supplicant.conf";

namespace {

// The configuration store's Wi-Fi table is where access points are
// remembered: one row per access point, holding its record (see
// WifiNetworkProperties::record) as the table stores a property map. A row
// that holds no record is left out; the others load.
WifiProfiles loadRemembered()
{
    QList<QVariantMap> rows;
    sys::SystemConfig config;
    config.loadWifiProfiles(rows);
    WifiProfiles profiles;
    for (const QVariantMap& row : rows) {
        WifiProfile profile;
        if (WifiProfile::fromRecord(row, profile))
            profiles.append(profile);
        else
            qCWarning(lcNetwork, "A remembered access point is unreadable; left out.");
    }
    return profiles;
}

bool saveRemembered(const WifiProfiles& profiles)
{
    QList<QVariantMap> rows;
    for (const WifiProfile& profile : profiles)
        rows.append(profile.record());
    sys::SystemConfig config;
    return config.saveWifiProfiles(rows);
}

// The remembered key, for two access points of the same kind.
void syncAuthentication(WifiProfile& ap, const WifiProfile& remembered)
{
    if ((ap.isWpa() && remembered.isWpa()) || (ap.isWpa2() && remembered.isWpa2())) {
        if (!remembered.psk().isEmpty())
            ap.setPsk(remembered.psk());
    } else if (ap.isWep() && remembered.isWep()) {
        ap.setWepKey1(remembered.wepKey1());
        ap.setAuthAlg(remembered.authAlg());
    }
}

bool hasKey(const WifiProfile& profile)
{
    return !profile.psk().isEmpty() || !profile.wepKey1().isEmpty();
}

} // namespace

WpaConnectionManager::WpaConnectionManager(sys::SysStatus& system, QObject* parent)
    : QObject(parent)
    , system(system)
{
    WpaConnection::registerTypes();
    scanTimer.setSingleShot(true);
    scanTimer.setTimerType(Qt::PreciseTimer);
    scanTimer.setInterval(ScanIntervalMs);
    connect(&scanTimer, &QTimer::timeout, this, &WpaConnectionManager::onScanTimeout);
    connect(&system, &sys::SysStatus::sdioChangedSignal, this,
            &WpaConnectionManager::onSdioChanged);
}

WpaConnection* WpaConnectionManager::proxy()
{
    if (!connection) {
        connection = new WpaConnection(system, this);
        connect(connection, &WpaConnection::scanResultsReady, this,
                &WpaConnectionManager::onScanReturned);
        connect(connection, &WpaConnection::stateChanged, this,
                &WpaConnectionManager::onConnectionChanged);
        connect(connection, &WpaConnection::needPassword, this,
                &WpaConnectionManager::onNeedPassword);
    }
    return connection;
}

void WpaConnectionManager::start()
{
    restart();
}

void WpaConnectionManager::triggerScan()
{
    restart();
}

void WpaConnectionManager::restart()
{
    enabled = true;
    setConnecting(false);
    scanCount = 0;
    retryCount = 0;
    scan();
}

void WpaConnectionManager::stop()
{
    enabled = false;
    scanTimer.stop();
}

void WpaConnectionManager::scan()
{
    if (!checkWifiDevice())
        return;
    ++scanCount;
    if (!checkWpaSupplicant()) {
        scanTimer.stop();
        if (scanCount < MaxScanAttempts)
            scanTimer.start();
        else
            setState(WifiProfile(), WpaConnection::StateDeviceFailed);
        return;
    }
    if (scanCount < MaxScanAttempts) {
        scanTimer.stop();
        setState(WifiProfile(), WpaConnection::StateScanning);
        proxy()->scan();
    }
}

void WpaConnectionManager::onScanTimeout()
{
    scan();
}

bool WpaConnectionManager::checkWifiDevice()
{
    enableSdio(true);
    if (sdioState())
        return true;
    setState(WifiProfile(), WpaConnection::StateDisabled);
    return false;
}

bool WpaConnectionManager::checkWpaSupplicant()
{
    if (!isWpaSupplicantRunning() && !startWpaSupplicant(QLatin1String(ConfigFile))) {
        qCWarning(lcNetwork, "Seems we can not start wpa supplicant.");
        setState(WifiProfile(), WpaConnection::StateDeviceFailed);
        emit wpaStateChanged(false);
        return false;
    }
    if (proxy()->openCtrlConnection() < 0) {
        qCDebug(lcNetwork,
                "wpa_supplicant has been launched, wait a little bit to setup connection.");
        return false;
    }
    qCDebug(lcNetwork, "Wpa is running now ctrl connection has been opened in manager.");
    emit wpaStateChanged(true);
    return true;
}

void WpaConnectionManager::onSdioChanged(bool on)
{
    // The radio came on after it was found off.
    if (on && enabled && currentState == WpaConnection::StateDisabled)
        scan();
}

void WpaConnectionManager::onScanReturned(const WifiProfiles& list)
{
    if (currentState == WpaConnection::StateConnecting) {
        qCDebug(lcNetwork, "Don't trigger scan as it's in connecting state.");
        return;
    }
    // The last attempt that finds nothing still ends the scanning.
    if (list.isEmpty() && scanCount + 1 < MaxScanAttempts) {
        scan();
        return;
    }
    lastScan = list;
    scanTimer.stop();
    setState(WifiProfile(), WpaConnection::StateReady);
    if (proxy()->isComplete()) {
        qCDebug(lcNetwork, "Complete, don't connect again.");
        return;
    }
    connectToBestAP();
}

bool WpaConnectionManager::connectToBestAP()
{
    if (!enabled) {
        qCDebug(lcNetwork, "Wifi is disabled by app.");
        return false;
    }
    if (!autoConnect) {
        qCDebug(lcNetwork, "Auto connect is disabled.");
        return false;
    }
    if (lastScan.isEmpty()) {
        qCDebug(lcNetwork, "Don't connect as there is no access points available.");
        return false;
    }
    sys::sortByQuality(lastScan);
    WifiProfiles& known = records();
    sys::sortByCount(known);
    QVector<QString> matched;
    for (const WifiProfile& record : known) {
        for (WifiProfile& ap : lastScan) {
            if (!ap.sameAccessPoint(record))
                continue;
            syncAuthentication(ap, record);
            ap.setCount(record.count());
            matched.append(ap.bssid());
        }
    }
    if (matched.isEmpty()) {
        qCDebug(lcNetwork, "No matched access point found, should ask user to choose one.");
        emit noMatchedAP();
        return false;
    }
    sys::sortByCount(lastScan);
    // Only an access point the owner connected to before is taken unasked.
    for (const WifiProfile& ap : qAsConst(lastScan)) {
        if (matched.contains(ap.bssid())) {
            proxy()->connectTo(ap);
            break;
        }
    }
    setConnecting(true);
    return true;
}

void WpaConnectionManager::setState(const WifiProfile& profile,
                                    WpaConnection::ConnectionState state)
{
    currentState = state;
    emit connectionChanged(profile, state);
}

void WpaConnectionManager::setConnecting(bool connecting)
{
    if (connecting)
        setState(proxy()->connectingAP(), WpaConnection::StateConnecting);
    else
        setState(WifiProfile(), WpaConnection::StateNone);
}

void WpaConnectionManager::onConnectionChanged(const WifiProfile& profile,
                                               WpaConnection::ConnectionState state)
{
    qCDebug(lcNetwork, "state changed %d", int(state));
    switch (state) {
    case WpaConnection::StateScanning:
        emit connectionChanged(WifiProfile(), state);
        break;
    case WpaConnection::StatePasswordNeeded:
        onNeedPassword(profile);
        break;
    case WpaConnection::StateAssociated:
        saveAp(profile);
        emit connectionChanged(profile, state);
        break;
    case WpaConnection::StateAddressAcquired:
        scanTimer.stop();
        emit connectionChanged(profile, state);
        break;
    case WpaConnection::StateAddressFailed:
        emit connectionChanged(profile, state);
        break;
    case WpaConnection::StateDisconnected:
        if (!autoReconnect)
            proxy()->disconnectNetwork();
        break;
    default:
        break;
    }
}

void WpaConnectionManager::onNeedPassword(const WifiProfile& profile)
{
    const WifiProfile* known = rememberedAs(profile);
    if (retryCount < 1 && known && hasKey(*known)) {
        qCDebug(lcNetwork, "connect retry %d", retryCount);
        ++retryCount;
        WifiProfile retry = profile;
        syncAuthentication(retry, *known);
        retry.setCount(known->count());
        proxy()->connectTo(retry);
        return;
    }
    // wpa_supplicant would go on trying the failing key by itself.
    proxy()->disconnectNetwork();
    emit passwordRequired(profile);
}

bool WpaConnectionManager::connectTo(const WifiProfile& profile)
{
    retryCount = 0;
    setState(profile, WpaConnection::StateConnecting);
    return proxy()->connectTo(profile);
}

void WpaConnectionManager::setPassword(WifiProfile& profile, const QString& password)
{
    if (profile.isWpa() || profile.isWpa2())
        profile.setPsk(password);
    else if (profile.isWep())
        profile.setWepKey1(password);
}

void WpaConnectionManager::resetProfile(WifiProfile& profile)
{
    profile.clearCredentials();
    profile.setCount(-1);
    remember(profile);
}

void WpaConnectionManager::saveAp(const WifiProfile& profile)
{
    WifiProfile ap = profile;
    const WifiProfile* known = rememberedAs(ap);
    ap.setCount(qMax(ap.count(), known ? known->count() : 0) + 1);
    if (known)
        ap.resetRetry();
    remember(ap);
}

void WpaConnectionManager::remember(const WifiProfile& profile)
{
    WifiProfiles& known = records();
    auto it = std::find_if(known.begin(), known.end(),
                           [&](const WifiProfile& p) { return p.sameAccessPoint(profile); });
    if (it != known.end())
        *it = profile;
    else
        known.append(profile);
    saveRemembered(known);
}

WifiProfiles& WpaConnectionManager::records()
{
    if (!rememberedLoaded) {
        remembered = loadRemembered();
        rememberedLoaded = true;
    }
    return remembered;
}

const WifiProfile* WpaConnectionManager::rememberedAs(const WifiProfile& profile)
{
    for (const WifiProfile& known : records()) {
        if (known.sameAccessPoint(profile))
            return &known;
    }
    return nullptr;
}

WifiProfile WpaConnectionManager::connectingAP()
{
    return proxy()->connectingAP();
}

QString WpaConnectionManager::address()
{
    return proxy()->address();
}

QString WpaConnectionManager::hardwareAddress()
{
    return QNetworkInterface::interfaceFromName(networkInterface()).hardwareAddress();
}

QString WpaConnectionManager::networkInterface()
{
    return proxy()->interfaceName();
}

bool WpaConnectionManager::enableSdio(bool on)
{
    return system.enableSdio(on);
}

bool WpaConnectionManager::sdioState()
{
    return system.sdioState();
}

bool WpaConnectionManager::isWpaSupplicantRunning()
{
    return WpaConnection::isReachable(proxy()->interfaceName());
}

bool WpaConnectionManager::startWpaSupplicant(const QString& confFilePath)
{
    return system.startWpaSupplicant(confFilePath);
}

bool WpaConnectionManager::stopWpaSupplicant()
{
    proxy()->closeCtrlConnection();
    return system.stopWpaSupplicant();
}
