#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class CallLog;
class ControlSocket;

// wpa_supplicant as the program sees it over its control interface, with a
// radio of its own: four access points in range (one open, one WPA2 with a
// known passphrase, one WEP, one that never answers), the networks
// configured by requests, and association with the events wpa_supplicant
// sends, a step at a time.
class Supplicant : public QObject
{
    Q_OBJECT

public:
    struct AccessPoint
    {
        QByteArray bssid;
        int frequency;
        int level;           // dBm
        QByteArray flags;
        QByteArray ssid;
        QByteArray key;      // passphrase or WEP key; empty when open
        bool answers;        // false: authentication times out
    };
    static const QList<AccessPoint>& accessPoints();

    Supplicant(const QString& interface, const QString& configFile, ControlSocket* socket,
               CallLog* log, QObject* parent = nullptr);

    QByteArray handle(const QByteArray& command);

private:
    struct Network
    {
        int id;
        QMap<QByteArray, QByteArray> values; // as requested
        bool enabled = false;
        bool tempDisabled = false;
    };

    Network* network(const QByteArray& id);
    QByteArray setNetwork(const QByteArray& arguments);
    QByteArray getNetwork(const QByteArray& arguments);
    QByteArray scanResults() const;
    QByteArray bss(const QByteArray& which) const;
    QByteArray status() const;
    QByteArray listNetworks() const;
    bool saveConfig() const;
    void startScan();
    void associate();
    void dropAssociation();
    bool keyMatches(const Network& network, const AccessPoint& ap) const;
    const AccessPoint* accessPointFor(const Network& network) const;
    void then(int delayMs, const std::function<void()>& step);
    void event(const QByteArray& text);
    void nextStep();

    QString interface;
    QString configFile;
    ControlSocket* socket;
    CallLog* log;
    QList<Network> networks;
    int nextId = 0;
    bool scanned = false;
    bool disconnected = false;
    QByteArray wpaState = "DISCONNECTED";
    int currentId = -1;
    const AccessPoint* current = nullptr;
    QList<QPair<int, std::function<void()>>> steps;
    QTimer stepTimer;
};
