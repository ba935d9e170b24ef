#include "supplicant.h"

#include "calllog.h"
#include "controlsocket.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonObject>
#include <QPasswordDigestor>
#include <QSaveFile>

namespace {

const QByteArray Header = "bssid / frequency / signal level / flags / ssid\n";
const QByteArray ListHeader = "network id / ssid / bssid / flags\n";
const QByteArray OwnAddress = "02:00:00:00:00:10";
const QByteArray DefaultKeyMgmt = "WPA-PSK WPA-EAP";
const int ScanMs = 300;
const int StepMs = 150;
const int NoAnswerMs = 2000;
const int MaxSsid = 32;

// Values wpa_supplicant takes for the fields that name algorithms.
const QMap<QByteArray, QList<QByteArray>> Words = {
    {"key_mgmt", {"NONE", "WPA-PSK", "WPA-EAP", "IEEE8021X", "SAE"}},
    {"proto", {"WPA", "RSN", "WPA2"}},
    {"pairwise", {"CCMP", "TKIP", "NONE", "GCMP"}},
    {"group", {"CCMP", "TKIP", "WEP104", "WEP40", "GCMP"}},
    {"auth_alg", {"OPEN", "SHARED", "LEAP"}},
};

bool isHex(const QByteArray& text)
{
    for (const char c : text) {
        if (!isxdigit(uchar(c)))
            return false;
    }
    return !text.isEmpty();
}

// A quoted text up to its last quote, or hex.
bool parseString(const QByteArray& value, QByteArray* bytes)
{
    if (value.startsWith('"')) {
        if (value.size() < 2 || !value.endsWith('"'))
            return false;
        *bytes = value.mid(1, value.size() - 2);
        return true;
    }
    if (value.size() % 2 != 0 || !isHex(value))
        return false;
    *bytes = QByteArray::fromHex(value);
    return true;
}

// Texts in replies as wpa_supplicant writes them.
QByteArray escaped(const QByteArray& bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        switch (c) {
        case '"': text += "\\\""; break;
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        case '\033': text += "\\e"; break;
        default:
            if (uchar(c) < 32 || uchar(c) >= 127)
                text += "\\x" + QByteArray(1, c).toHex();
            else
                text += c;
        }
    }
    return text;
}

bool validValue(const QByteArray& field, const QByteArray& value)
{
    QByteArray bytes;
    if (field == "ssid")
        return parseString(value, &bytes) && bytes.size() <= MaxSsid;
    if (field == "psk") {
        if (value.startsWith('"') && parseString(value, &bytes))
            return bytes.size() >= 8 && bytes.size() <= 63
                   && std::none_of(bytes.begin(), bytes.end(),
                                   [](char c) { return uchar(c) < 32 || uchar(c) == 127; });
        return value.size() == 64 && isHex(value);
    }
    if (field.startsWith("wep_key") && field.size() == 8)
        return parseString(value, &bytes)
               && (bytes.size() == 5 || bytes.size() == 13 || bytes.size() == 16);
    if (field == "wep_tx_keyidx")
        return value.size() == 1 && value.at(0) >= '0' && value.at(0) <= '3';
    if (Words.contains(field)) {
        const QList<QByteArray> words = value.split(' ');
        return std::all_of(words.begin(), words.end(),
                           [&](const QByteArray& w) { return Words.value(field).contains(w); });
    }
    return true;
}

} // namespace

const QList<Supplicant::AccessPoint>& Supplicant::accessPoints()
{
    static const QList<AccessPoint> list = {
        {"02:00:00:00:01:01", 2412, -48, "[ESS]", "Caf\xc3\xa9 Libre", "", true},
        {"02:00:00:00:01:02", 2437, -55, "[WPA2-PSK-CCMP][ESS]", "HomeNet", "battery staple", true},
        {"02:00:00:00:01:03", 2462, -67, "[WEP][ESS]", "OldRouter", "abcde", true},
        {"02:00:00:00:01:04", 2412, -86, "[ESS]", "Far Away", "", false},
    };
    return list;
}

Supplicant::Supplicant(const QString& interface, const QString& configFile,
                       ControlSocket* socket, CallLog* log, QObject* parent)
    : QObject(parent)
    , interface(interface)
    , configFile(configFile)
    , socket(socket)
    , log(log)
{
    stepTimer.setSingleShot(true);
    connect(&stepTimer, &QTimer::timeout, this, &Supplicant::nextStep);
}

QByteArray Supplicant::handle(const QByteArray& command)
{
    log->write({{QStringLiteral("request"), QString::fromUtf8(command)}});
    const int space = command.indexOf(' ');
    const QByteArray verb = space < 0 ? command : command.left(space);
    const QByteArray arguments = space < 0 ? QByteArray() : command.mid(space + 1);

    if (verb == "PING")
        return "PONG\n";
    if (verb == "INTERFACES")
        return interface.toUtf8() + '\n';
    if (verb == "GET_CAPABILITY")
        return arguments == "eap" ? "MD5 TLS MSCHAPV2 PEAP TTLS GTC\n" : "FAIL\n";
    if (verb == "SCAN") {
        startScan();
        return "OK\n";
    }
    if (verb == "SCAN_RESULTS")
        return scanResults();
    if (verb == "BSS")
        return bss(arguments);
    if (verb == "STATUS")
        return status();
    if (verb == "LIST_NETWORKS")
        return listNetworks();
    if (verb == "ADD_NETWORK") {
        networks.append(Network{nextId, {}});
        return QByteArray::number(nextId++) + '\n';
    }
    if (verb == "SET_NETWORK")
        return setNetwork(arguments);
    if (verb == "GET_NETWORK")
        return getNetwork(arguments);
    if (verb == "ENABLE_NETWORK" || verb == "DISABLE_NETWORK" || verb == "SELECT_NETWORK") {
        const bool all = arguments == "all";
        if (!all && !network(arguments))
            return "FAIL\n";
        for (Network& n : networks) {
            if (all || n.id == arguments.toInt())
                n.enabled = verb != "DISABLE_NETWORK";
            else if (verb == "SELECT_NETWORK")
                n.enabled = false;
            n.tempDisabled = false;
        }
        if (verb != "DISABLE_NETWORK" && (currentId < 0 || verb == "SELECT_NETWORK"))
            associate();
        return "OK\n";
    }
    if (verb == "REMOVE_NETWORK") {
        if (arguments != "all" && !network(arguments))
            return "FAIL\n";
        if (arguments == "all" || arguments.toInt() == currentId)
            dropAssociation();
        networks.erase(std::remove_if(networks.begin(), networks.end(),
                                      [&](const Network& n) {
                                          return arguments == "all" || n.id == arguments.toInt();
                                      }),
                       networks.end());
        return "OK\n";
    }
    if (verb == "DISCONNECT") {
        disconnected = true;
        dropAssociation();
        return "OK\n";
    }
    if (verb == "REASSOCIATE" || verb == "RECONNECT") {
        disconnected = false;
        associate();
        return "OK\n";
    }
    if (verb == "SAVE_CONFIG")
        return saveConfig() ? "OK\n" : "FAIL\n";
    if (verb == "TERMINATE") {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return "OK\n";
    }
    return "UNKNOWN COMMAND\n";
}

Supplicant::Network* Supplicant::network(const QByteArray& id)
{
    bool ok = false;
    const int number = id.toInt(&ok);
    for (Network& n : networks) {
        if (ok && n.id == number)
            return &n;
    }
    return nullptr;
}

QByteArray Supplicant::setNetwork(const QByteArray& arguments)
{
    // id, field, then the value: the rest, spaces and all.
    const int first = arguments.indexOf(' ');
    const int second = first < 0 ? -1 : arguments.indexOf(' ', first + 1);
    Network* n = first < 0 ? nullptr : network(arguments.left(first));
    if (!n || second < 0)
        return "FAIL\n";
    const QByteArray field = arguments.mid(first + 1, second - first - 1);
    const QByteArray value = arguments.mid(second + 1);
    if (!validValue(field, value))
        return "FAIL\n";
    n->values.insert(field, value);
    return "OK\n";
}

QByteArray Supplicant::getNetwork(const QByteArray& arguments)
{
    const QList<QByteArray> words = arguments.split(' ');
    Network* n = words.size() == 2 ? network(words.at(0)) : nullptr;
    if (!n || !n->values.contains(words.at(1)))
        return "FAIL\n";
    if (words.at(1) == "psk" || words.at(1).startsWith("wep_key"))
        return "*";
    return n->values.value(words.at(1));
}

QByteArray Supplicant::scanResults() const
{
    QByteArray reply = Header;
    if (!scanned)
        return reply;
    for (const AccessPoint& ap : accessPoints()) {
        reply += ap.bssid + '\t' + QByteArray::number(ap.frequency) + '\t'
                 + QByteArray::number(ap.level) + '\t' + ap.flags + '\t' + escaped(ap.ssid) + '\n';
    }
    return reply;
}

QByteArray Supplicant::bss(const QByteArray& which) const
{
    for (int i = 0; scanned && i < accessPoints().size(); ++i) {
        const AccessPoint& ap = accessPoints().at(i);
        if (which != ap.bssid && which != QByteArray::number(i))
            continue;
        return "id=" + QByteArray::number(i) + "\nbssid=" + ap.bssid
               + "\nfreq=" + QByteArray::number(ap.frequency)
               + "\nbeacon_int=100\nqual=0\nnoise=-92\nlevel=" + QByteArray::number(ap.level)
               + "\nflags=" + ap.flags + "\nssid=" + escaped(ap.ssid)
               + "\nest_throughput=" + QByteArray::number(ap.answers ? 65000 : 0) + '\n';
    }
    return QByteArray();
}

QByteArray Supplicant::status() const
{
    QByteArray reply;
    const Network* n = nullptr;
    for (const Network& candidate : networks) {
        if (candidate.id == currentId)
            n = &candidate;
    }
    if (current && n) {
        const bool wpa = current->flags.contains("WPA2");
        const bool wep = current->flags.contains("WEP");
        reply += "bssid=" + current->bssid + "\nfreq=" + QByteArray::number(current->frequency)
                 + "\nssid=" + escaped(current->ssid) + "\nid=" + QByteArray::number(currentId)
                 + "\nmode=station\npairwise_cipher="
                 + (wpa ? "CCMP" : wep ? "WEP-40" : "NONE") + "\ngroup_cipher="
                 + (wpa ? "CCMP" : wep ? "WEP-40" : "NONE")
                 + "\nkey_mgmt=" + (wpa ? "WPA2-PSK" : "NONE") + '\n';
    }
    return reply + "wpa_state=" + wpaState + "\naddress=" + OwnAddress + '\n';
}

QByteArray Supplicant::listNetworks() const
{
    QByteArray reply = ListHeader;
    for (const Network& n : networks) {
        QByteArray ssid;
        parseString(n.values.value("ssid"), &ssid);
        QByteArray flags;
        if (n.id == currentId)
            flags += "[CURRENT]";
        if (!n.enabled)
            flags += "[DISABLED]";
        if (n.tempDisabled)
            flags += "[TEMP-DISABLED]";
        reply += QByteArray::number(n.id) + '\t' + escaped(ssid) + "\tany\t" + flags + '\n';
    }
    return reply;
}

bool Supplicant::saveConfig() const
{
    if (configFile.isEmpty())
        return false;
    QSaveFile file(configFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("ctrl_interface=/var/run/wpa_supplicant\nupdate_config=1\n");
    for (const Network& n : networks) {
        file.write("\nnetwork={\n");
        for (auto it = n.values.cbegin(); it != n.values.cend(); ++it)
            file.write('\t' + it.key() + '=' + it.value() + '\n');
        if (!n.enabled)
            file.write("\tdisabled=1\n");
        file.write("}\n");
    }
    return file.commit();
}

void Supplicant::startScan()
{
    QTimer::singleShot(ScanMs, this, [this] {
        event("CTRL-EVENT-SCAN-STARTED ");
        scanned = true;
        event("CTRL-EVENT-SCAN-RESULTS ");
    });
}

bool Supplicant::keyMatches(const Network& network, const AccessPoint& ap) const
{
    QByteArray key;
    if (ap.flags.contains("WEP")) {
        const QByteArray index = network.values.value("wep_tx_keyidx", "0");
        return parseString(network.values.value("wep_key" + index), &key) && key == ap.key;
    }
    const QByteArray psk = network.values.value("psk");
    if (psk.startsWith('"'))
        return parseString(psk, &key) && key == ap.key;
    return QByteArray::fromHex(psk)
           == QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha1, ap.key, ap.ssid, 4096, 32);
}

// The access point a network is for: its SSID, and a key management the
// access point offers.
const Supplicant::AccessPoint* Supplicant::accessPointFor(const Network& network) const
{
    QByteArray ssid;
    if (!parseString(network.values.value("ssid"), &ssid))
        return nullptr;
    const QByteArray keyMgmt = network.values.value("key_mgmt", DefaultKeyMgmt);
    const bool hasWepKey = network.values.contains("wep_key0") || network.values.contains("wep_key1")
                           || network.values.contains("wep_key2") || network.values.contains("wep_key3");
    for (const AccessPoint& ap : accessPoints()) {
        if (ap.ssid != ssid)
            continue;
        if (ap.flags.contains("WPA2-PSK") && keyMgmt.contains("WPA-PSK") && network.values.contains("psk"))
            return &ap;
        if (ap.flags.contains("WEP") && keyMgmt.split(' ').contains("NONE") && hasWepKey)
            return &ap;
        if (!ap.flags.contains("WPA") && !ap.flags.contains("WEP")
            && keyMgmt.split(' ').contains("NONE") && !hasWepKey)
            return &ap;
    }
    return nullptr;
}

void Supplicant::associate()
{
    if (disconnected)
        return;
    dropAssociation();
    const Network* chosen = nullptr;
    const AccessPoint* ap = nullptr;
    for (const Network& n : networks) {
        if (n.enabled && !n.tempDisabled && (ap = accessPointFor(n))) {
            chosen = &n;
            break;
        }
    }
    if (!chosen) {
        if (std::any_of(networks.begin(), networks.end(), [](const Network& n) { return n.enabled; }))
            then(ScanMs, [this] { event("CTRL-EVENT-NETWORK-NOT-FOUND"); });
        return;
    }
    const int id = chosen->id;
    currentId = id;
    current = ap;
    wpaState = "SCANNING";
    // Looks for it first, as wpa_supplicant does.
    then(ScanMs, [this] {
        scanned = true;
        event("CTRL-EVENT-SCAN-RESULTS ");
        wpaState = "ASSOCIATING";
        event("Trying to associate with " + current->bssid + " (SSID='" + escaped(current->ssid)
              + "' freq=" + QByteArray::number(current->frequency) + " MHz)");
    });
    const QByteArray bssid = ap->bssid;
    const QByteArray connected = "CTRL-EVENT-CONNECTED - Connection to " + bssid
                                 + " completed [id=" + QByteArray::number(id) + " id_str=]";
    const auto timedOut = [this, bssid] {
        event("Authentication with " + bssid + " timed out.");
        event("CTRL-EVENT-DISCONNECTED bssid=" + bssid + " reason=3 locally_generated=1");
        currentId = -1;
        current = nullptr;
        wpaState = "DISCONNECTED";
    };
    if (!ap->answers) {
        then(NoAnswerMs, timedOut);
        return;
    }
    const bool keyRight = ap->key.isEmpty() || keyMatches(*chosen, *ap);
    if (ap->flags.contains("WEP") && !keyRight) {
        then(StepMs, timedOut);
        return;
    }
    then(StepMs, [this, bssid] {
        wpaState = "ASSOCIATED";
        event("Associated with " + bssid);
    });
    if (!ap->flags.contains("WPA2")) {
        then(StepMs, [this, connected] {
            wpaState = "COMPLETED";
            event(connected);
        });
        return;
    }
    if (keyRight) {
        then(StepMs, [this, bssid, connected] {
            wpaState = "COMPLETED";
            event("WPA: Key negotiation completed with " + bssid + " [PTK=CCMP GTK=CCMP]");
            event(connected);
        });
        return;
    }
    then(StepMs, [this, bssid, id] {
        event("WPA: 4-Way Handshake failed - pre-shared key may be incorrect");
        event("CTRL-EVENT-DISCONNECTED bssid=" + bssid + " reason=15");
        if (Network* n = network(QByteArray::number(id))) {
            QByteArray ssid;
            parseString(n->values.value("ssid"), &ssid);
            n->tempDisabled = true;
            event("CTRL-EVENT-SSID-TEMP-DISABLED id=" + QByteArray::number(id) + " ssid=\""
                  + escaped(ssid) + "\" auth_failures=1 duration=10 reason=WRONG_KEY");
        }
        currentId = -1;
        current = nullptr;
        wpaState = "DISCONNECTED";
    });
}

void Supplicant::dropAssociation()
{
    steps.clear();
    stepTimer.stop();
    if (current && wpaState == "COMPLETED")
        event("CTRL-EVENT-DISCONNECTED bssid=" + current->bssid + " reason=3 locally_generated=1");
    current = nullptr;
    currentId = -1;
    wpaState = disconnected ? "DISCONNECTED" : "INACTIVE";
}

void Supplicant::then(int delayMs, const std::function<void()>& step)
{
    steps.append({delayMs, step});
    if (!stepTimer.isActive())
        stepTimer.start(steps.first().first);
}

void Supplicant::nextStep()
{
    if (steps.isEmpty())
        return;
    const auto step = steps.takeFirst().second;
    step();
    if (!steps.isEmpty())
        stepTimer.start(steps.first().first);
}

void Supplicant::event(const QByteArray& text)
{
    log->write({{QStringLiteral("event"), QString::fromUtf8(text)}});
    socket->broadcast(text);
}
