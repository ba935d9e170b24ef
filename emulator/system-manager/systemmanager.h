#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QHash>
#include <QJsonObject>
#include <QString>

class CallLog;

// The device's system manager as far as the program sees it: the methods it
// calls, with plausible device state behind them, and the broadcast signals.
// A second interface on the same object lets tests and people steer it:
// emit any broadcast signal, make a method answer empty, with an error or
// not at all, or without its last reply argument ("partial"), and read the
// device state.
class SystemManager : public QDBusVirtualObject
{
    Q_OBJECT

public:
    // The device's names for it on the system bus.
    static constexpr const char* Service = "com.vexa.service.system_manager";
    static constexpr const char* Object = "/com/vexa/object/system_manager";
    static constexpr const char* Interface = "com.vexa.interface.system_manager";
    static constexpr const char* ControlInterface = "com.vexa.interface.system_manager_control";

    struct Options
    {
        int batteryLevel = 80;
        int batteryStatus = 0;
        bool sdio = false;
        bool sdioLocked = false;     // the radio cannot be switched
        QString wpaStartCommand;     // run with sh, $1 = configuration file
        QString wpaStopCommand;
        QString addressCommand;      // run with sh before addressAcquired; its last
                                     // line of output describes the connection
    };

    SystemManager(const QDBusConnection& bus, CallLog* log, const Options& options,
                  QObject* parent = nullptr);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

    QJsonObject state() const;

private:
    // Answers unknown methods and wrong argument types with an error reply;
    // known is the method's entry in its table, or null.
    bool acceptCall(const QDBusMessage& message, const void* known);
    void handleDeviceCall(const QDBusMessage& message);
    void handleControlCall(const QDBusMessage& message);
    QVariantList perform(const QString& method, const QVariantList& args);
    bool emitBroadcast(const QString& name, const QStringList& args, QString* error);
    void sendSignal(const QString& name, const QVariantList& args);
    void logCall(const QDBusMessage& message, bool control);
    bool runShell(const QString& command, const QString& argument, QByteArray* output = nullptr);

    QDBusConnection bus;
    CallLog* callLog;
    Options options;
    QHash<QString, QString> modes;   // method -> normal, empty, partial, error, silent

    bool busy = true;
    bool busyIndicator = false;
    int suspendInterval = 0;
    int shutdownInterval = 0;
    bool wpaRunning = false;
    bool addressAcquired = false;
    QString connection;
};
