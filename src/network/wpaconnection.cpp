#include "network/wpaconnection.h"

#include "network/wpareplies.h"
#include "platform/logging.h"
#include "platform/sys/dbusnames.h"
#include "platform/sys/sysstatus.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QPasswordDigestor>
#include <QSocketNotifier>

#include <wpa_ctrl.h>

const char* const WpaConnection::ControlDirectory = "/var/run/wpa_supplicant";

namespace {

// Tried by wpa_supplicant for whichever cipher the access point chose.
const char* const GroupCiphers = "TKIP CCMP WEP104 WEP40";
// Secrets never reach a log line.
const char* const SecretFields[] = {"psk", "wep_key0", "wep_key1", "wep_key2", "wep_key3",
                                    "password"};
// IEEE 802.11i: the key an access point derives from its passphrase.
const int PskIterations = 4096;
const int PskBytes = 32;
const int PskHexDigits = 2 * PskBytes;
// A passphrase is this long in bytes.
const int MinPassphrase = 8;
const int MaxPassphrase = 63;

bool hasControlCharacter(const QByteArray& value)
{
    for (const char c : value) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            return true;
    }
    return false;
}

bool isHex(const QByteArray& value)
{
    for (const char c : value) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return !value.isEmpty();
}

// A field name is one bare word.
bool isFieldName(const QByteArray& field)
{
    for (const char c : field) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    }
    return !field.isEmpty();
}

// The request as a log line may show it: a secret's value is left out.
QByteArray loggable(const QByteArray& command)
{
    if (!command.startsWith("SET_NETWORK "))
        return command.left(64);
    const QList<QByteArray> words = command.split(' ');
    for (const char* secret : SecretFields) {
        if (words.size() > 3 && words.at(2) == secret)
            return words.at(0) + ' ' + words.at(1) + ' ' + words.at(2) + " *";
    }
    return command.left(64);
}

QByteArray controlSocket(const QString& name)
{
    return QFile::encodeName(QLatin1String(WpaConnection::ControlDirectory) + QLatin1Char('/')
                             + name);
}

} // namespace

WpaConnection::WpaConnection(sys::SysStatus& system, QObject* parent)
    : QObject(parent)
    , bus(QDBusConnection::systemBus())
    , system(system)
{
    registerTypes();
    if (!bus.connect(QLatin1String(sys::dbus::SystemManagerService),
                     QLatin1String(sys::dbus::SystemManagerObject),
                     QLatin1String(sys::dbus::SystemManagerInterface),
                     QStringLiteral("addressAcquired"), this, SLOT(onAddressAcquired())))
        qCWarning(lcNetwork, "\nCan not connect the addressAcquired!\n");
}

void WpaConnection::registerTypes()
{
    // Under the names the signals use, for queued connections and spies.
    qRegisterMetaType<WifiProfile>("WifiProfile");
    qRegisterMetaType<WifiProfiles>("WifiProfiles");
    qRegisterMetaType<WpaConnection::ConnectionState>("WpaConnection::ConnectionState");
}

WpaConnection::~WpaConnection()
{
    closeCtrlConnection();
}

QString WpaConnection::defaultInterface()
{
    const QFileInfoList entries =
        QDir(QLatin1String(ControlDirectory)).entryInfoList(QDir::System | QDir::NoDotAndDotDot,
                                                            QDir::Name);
    for (const QFileInfo& entry : entries) {
        // P2P devices share the directory with the interfaces.
        if (!entry.fileName().startsWith(QLatin1String("p2p-dev-")))
            return entry.fileName();
    }
    return QString();
}

bool WpaConnection::isReachable(const QString& name)
{
    const QString iface = name.isEmpty() ? defaultInterface() : name;
    if (iface.isEmpty())
        return false;
    // A socket left behind by a wpa_supplicant that is gone refuses the connection.
    wpa_ctrl* probe = wpa_ctrl_open(controlSocket(iface).constData());
    if (!probe)
        return false;
    wpa_ctrl_close(probe);
    return true;
}

int WpaConnection::openCtrlConnection(const QString& name)
{
    if (!name.isEmpty()) {
        interface = name;
    } else if (interface.isEmpty()) {
        interface = defaultInterface();
        qCDebug(lcNetwork, "Selected interface '%s'", qPrintable(interface));
    }
    if (interface.isEmpty()) {
        qCDebug(lcNetwork, "No interface has a control socket in %s", ControlDirectory);
        return -1;
    }
    const QByteArray path = controlSocket(interface);
    qCDebug(lcNetwork, "ctrl interface name %s", path.constData());
    closeCtrlConnection();

    qCDebug(lcNetwork, "Trying to connect to '%s'\n", path.constData());
    ctrl = wpa_ctrl_open(path.constData());
    if (!ctrl) {
        qCWarning(lcNetwork, "ctrl connection is empty.");
        return -1;
    }
    monitor = wpa_ctrl_open(path.constData());
    if (!monitor) {
        qCWarning(lcNetwork, "monitor connection is empty.");
        closeCtrlConnection();
        return -1;
    }
    if (wpa_ctrl_attach(monitor) != 0) {
        qCDebug(lcNetwork, "Failed to attach to wpa_supplicant\n");
        wpa_ctrl_close(monitor);
        monitor = nullptr;
        closeCtrlConnection();
        return -1;
    }
    notifier = new QSocketNotifier(wpa_ctrl_get_fd(monitor), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &WpaConnection::receiveMessages);

    QByteArray reply;
    request("INTERFACES", reply);
    request("GET_CAPABILITY eap", reply);
    return 0;
}

void WpaConnection::closeCtrlConnection()
{
    if (notifier) {
        // This may run inside the notifier's own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    if (monitor) {
        wpa_ctrl_detach(monitor);
        wpa_ctrl_close(monitor);
        monitor = nullptr;
    }
    if (ctrl) {
        wpa_ctrl_close(ctrl);
        ctrl = nullptr;
    }
}

QString WpaConnection::address() const
{
    const QNetworkInterface iface = QNetworkInterface::interfaceFromName(interface);
    if (!iface.isValid() || !(iface.flags() & QNetworkInterface::IsUp))
        return QString();
    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip().toString();
    }
    return QString();
}

int WpaConnection::sendCtrlRequest(wpa_ctrl* handle, const QByteArray& command, QByteArray& reply)
{
    reply.clear();
    if (!handle)
        return -3;
    if (command.size() > MaxRequestSize) {
        qCWarning(lcNetwork, "Command %s is too long.", loggable(command).constData());
        return -1;
    }
    char buffer[ReplySize];
    size_t length = sizeof buffer - 1;
    const int result = wpa_ctrl_request(handle, command.constData(), size_t(command.size()),
                                        buffer, &length, nullptr);
    if (result == -2)
        qCWarning(lcNetwork, "Command %s timed out.", loggable(command).constData());
    else if (result < 0)
        qCWarning(lcNetwork, "Command %s failed.", loggable(command).constData());
    else
        reply = QByteArray(buffer, int(length));
    return result;
}

int WpaConnection::request(const QByteArray& command, QByteArray& reply)
{
    return sendCtrlRequest(ctrl, command, reply);
}

bool WpaConnection::requestOk(const QByteArray& command)
{
    QByteArray reply;
    return request(command, reply) >= 0 && reply.contains("OK");
}

bool WpaConnection::ping()
{
    QByteArray reply;
    if (request("PING", reply) >= 0 && reply.startsWith("PONG"))
        return true;
    qCWarning(lcNetwork, "PING failed - trying to reconnect.");
    if (openCtrlConnection() < 0)
        return false;
    qCDebug(lcNetwork, "Reconnected successfully.");
    return true;
}

bool WpaConnection::scan()
{
    broadcastState(StateScanning);
    return requestOk("SCAN");
}

bool WpaConnection::scanResults(WifiProfiles& list)
{
    QByteArray reply;
    if (request("SCAN_RESULTS", reply) < 0)
        return false;
    networks = wpa::parseScanResults(reply);
    updateCachedNetworks();
    list = networks;
    return true;
}

bool WpaConnection::listNetworks(WifiProfiles& list)
{
    QByteArray reply;
    if (request("LIST_NETWORKS", reply) < 0)
        return false;
    list = wpa::parseNetworkList(reply);
    return true;
}

bool WpaConnection::updateCachedNetworks()
{
    bool ok = true;
    for (WifiProfile& ap : networks) {
        QByteArray reply;
        if (request("BSS " + ap.bssid().toLatin1(), reply) < 0 || reply.isEmpty()) {
            ok = false;
            continue;
        }
        const QVariantMap details = wpa::parseKeyValues(reply);
        if (details.contains(QStringLiteral("noise")))
            ap.setValue(QStringLiteral("noise"), details.value(QStringLiteral("noise")).toInt());
        if (details.contains(QStringLiteral("est_throughput")))
            ap.setValue(QStringLiteral("maxrate"),
                        details.value(QStringLiteral("est_throughput")).toInt());
    }
    return ok;
}

bool WpaConnection::status(QVariantMap& map, bool clear)
{
    if (clear)
        map.clear();
    QByteArray reply;
    if (request("STATUS", reply) < 0)
        return false;
    const QVariantMap values = wpa::parseKeyValues(reply);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        map.insert(it.key(), it.value());
    return true;
}

bool WpaConnection::isComplete()
{
    QVariantMap map;
    return status(map) && map.value(QStringLiteral("wpa_state")).toString().contains(
                              QLatin1String("COMPLETE"));
}

int WpaConnection::addNetwork()
{
    QByteArray reply;
    if (request("ADD_NETWORK", reply) < 0)
        return -1;
    bool ok = false;
    const int id = reply.trimmed().toInt(&ok);
    return ok ? id : -1;
}

bool WpaConnection::setNetworkParam(int id, const QByteArray& field, const QByteArray& value,
                                    bool quote)
{
    if (!isFieldName(field))
        return false;
    QByteArray text = value;
    if (quote) {
        // wpa_supplicant takes a quoted value up to its last quote, so quotes
        // inside are fine; control characters only travel in hex, and for a
        // passphrase hex would mean the key itself.
        if (!hasControlCharacter(value))
            text = '"' + value + '"';
        else if (field != "psk")
            text = value.toHex();
        else
            return false;
    }
    return requestOk("SET_NETWORK " + QByteArray::number(id) + ' ' + field + ' ' + text);
}

bool WpaConnection::setWepKey(int id, const QString& key, int index)
{
    if (index < 0 || index > 3)
        return false;
    const QByteArray bytes = key.toUtf8();
    const bool hexKey = (bytes.size() == 10 || bytes.size() == 26 || bytes.size() == 32)
                        && isHex(bytes);
    return setNetworkParam(id, "wep_key" + QByteArray::number(index), bytes, !hexKey);
}

// 64 hex digits are the key itself; a passphrase goes quoted, or as the key
// the access point derives from it when quoting cannot carry it.
bool WpaConnection::setPassphrase(int id)
{
    const QByteArray passphrase = connecting.psk().toUtf8();
    if (passphrase.size() == PskHexDigits && isHex(passphrase))
        return setNetworkParam(id, "psk", passphrase, false);
    if (passphrase.size() < MinPassphrase || passphrase.size() > MaxPassphrase)
        return false;
    if (!hasControlCharacter(passphrase))
        return setNetworkParam(id, "psk", passphrase, true);
    const QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(
        QCryptographicHash::Sha1, passphrase, connecting.ssid(), PskIterations, PskBytes);
    return setNetworkParam(id, "psk", key.toHex(), false);
}

bool WpaConnection::enableNetwork(int id)
{
    return requestOk("ENABLE_NETWORK " + QByteArray::number(id));
}

bool WpaConnection::removeNetwork(int id)
{
    return requestOk("REMOVE_NETWORK " + QByteArray::number(id));
}

bool WpaConnection::removeAllNetworks()
{
    return requestOk("REMOVE_NETWORK all");
}

bool WpaConnection::saveConf()
{
    return requestOk("SAVE_CONFIG");
}

bool WpaConnection::reAssociate()
{
    return requestOk("REASSOCIATE");
}

bool WpaConnection::disconnectNetwork()
{
    return requestOk("DISCONNECT");
}

bool WpaConnection::connectTo(const WifiProfile& profile)
{
    if (profile.bssid().contains(QLatin1String("00:00:00:00:00:00")) && profile.ssid().isEmpty())
        return false;
    connecting = profile;
    associated = false;
    awaitingAddress = false;
    disconnectNetwork();
    removeAllNetworks();
    broadcastState(StateConnecting);
    const int id = addNetwork();
    if (id < 0 || !setNetworkParam(id, "ssid", connecting.ssid(), true))
        return false;

    connecting.deriveEncryption();
    if (connecting.isWpa() || connecting.isWpa2()) {
        if (connecting.psk().isEmpty()) {
            emit needPassword(connecting);
            return false;
        }
        for (const char* field : {"proto", "key_mgmt", "pairwise"}) {
            const QString value = connecting.value(QLatin1String(field)).toString();
            if (!value.isEmpty())
                setNetworkParam(id, field, value.toLatin1(), false);
        }
        if (!connecting.pairwise().isEmpty())
            setNetworkParam(id, "group", GroupCiphers, false);
        if (connecting.keyMgmt() == QLatin1String("WPA-PSK") && !setPassphrase(id)) {
            emit needPassword(connecting);
            return false;
        }
    } else if (connecting.isWep()) {
        const QString keys[] = {connecting.wepKey1(), connecting.wepKey2(), connecting.wepKey3(),
                                connecting.wepKey4()};
        if (keys[0].isEmpty()) {
            emit needPassword(connecting);
            return false;
        }
        // Without it wpa_supplicant would look for a WPA network.
        setNetworkParam(id, "key_mgmt", "NONE", false);
        int first = -1;
        for (int i = 0; i < 4; ++i) {
            if (keys[i].isEmpty())
                continue;
            if (!setWepKey(id, keys[i], i)) {
                emit needPassword(connecting);
                return false;
            }
            if (first < 0)
                first = i;
        }
        setNetworkParam(id, "wep_tx_keyidx", QByteArray::number(first), false);
        if (!connecting.authAlg().isEmpty())
            setNetworkParam(id, "auth_alg", connecting.authAlg().toLatin1(), false);
    } else {
        setNetworkParam(id, "key_mgmt", "NONE", false);
    }
    enableNetwork(id);
    reAssociate();
    update();
    return true;
}

void WpaConnection::update()
{
    QVariantMap state;
    if (status(state) && connecting.bssid().isEmpty()
        && state.value(QStringLiteral("ssid")).toByteArray() == connecting.ssid())
        connecting.setValue(QStringLiteral("bssid"), state.value(QStringLiteral("bssid")));
    WifiProfiles configured;
    if (!listNetworks(configured))
        return;
    for (const WifiProfile& network : configured) {
        if (network.value(QStringLiteral("flags")).toString().contains(QLatin1String("[CURRENT]")))
            connecting.setValue(QStringLiteral("id"), network.value(QStringLiteral("id")));
    }
}

void WpaConnection::receiveMessages()
{
    char buffer[ReplySize];
    while (monitor && wpa_ctrl_pending(monitor) > 0) {
        size_t length = sizeof buffer - 1;
        if (wpa_ctrl_recv(monitor, buffer, &length) != 0)
            break;
        parseMessage(QByteArray(buffer, int(length)));
    }
}

void WpaConnection::parseMessage(const QByteArray& message)
{
    qCDebug(lcNetwork, "message received %s.", message.constData());
    emit messageReceived(message);
    if (message.contains("CTRL-EVENT-SCAN-RESULTS ")) {
        WifiProfiles list;
        if (scanResults(list))
            emit scanResultsReady(list);
        broadcastState(StateReady);
    } else if (message.contains("Associated with")) {
        associated = false;
        update();
    } else if (message.contains("CTRL-EVENT-DISCONNECTED ")) {
        associated = false;
        broadcastState(StateDisconnected);
    } else if (message.contains("Authentication with")) {
        if (message.contains("timed out")
            && (!message.contains("00:00:00:00:00:00") || !connecting.isWep()))
            broadcastState(StatePasswordNeeded);
    } else if (message.contains("CTRL-EVENT-CONNECTED ")
               || message.contains("Key negotiation completed")) {
        if (associated)
            return;
        associated = true;
        broadcastState(StateAssociated);
        broadcastState(StateAcquiringAddress);
        awaitingAddress = true;
        // Refused or unanswered, no signal may ever come.
        if (!system.acquireAddress(true) && awaitingAddress) {
            awaitingAddress = false;
            broadcastState(StateAddressFailed);
        }
    } else if (message.contains("WPA: 4-Way Handshake failed")) {
        broadcastState(StatePasswordNeeded);
    }
}

void WpaConnection::broadcastState(ConnectionState state)
{
    if (state == StateAssociated)
        saveConf();
    emit stateChanged(connecting, state);
}

void WpaConnection::onAddressAcquired()
{
    // Another program's request is not ours to report.
    if (!awaitingAddress)
        return;
    awaitingAddress = false;
    broadcastState(address().isEmpty() ? StateAddressFailed : StateAddressAcquired);
}
