#include "systemmanager.h"

#include "calllog.h"

#include <QDBusMessage>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>

namespace {

const char* const FailedError = "com.vexa.service.system_manager.Error.Failed";
const char* const InvalidArgsError = "org.freedesktop.DBus.Error.InvalidArgs";
const char* const UnknownMethodError = "org.freedesktop.DBus.Error.UnknownMethod";
const char* const SdCardNode = "/dev/sdmmc";

struct Member
{
    const char* name;
    const char* in;    // D-Bus signature of the arguments
    const char* out;   // of the reply (methods only)
};

// What the program calls.
const Member Methods[] = {
    {"setSystemBusy", "bb", ""},
    {"setSuspendInterval", "i", "b"},
    {"setShutdownInterval", "i", "b"},
    {"sdioState", "", "b"},
    {"enableSdio", "b", "b"},
    {"stopWpaSupplicant", "", "b"},
    {"startWpaSupplicant", "s", "b"},
    {"batteryStatus", "", "iii"},
    {"acquireAddress", "b", "b"},
};

// What the device broadcasts.
const Member Signals[] = {
    {"mountTreeSignal", "bs", ""},
    {"sdCardChangedSignal", "b", ""},
    {"sdioChangedSignal", "b", ""},
    {"batterySignal", "ii", ""},
    {"connectToPC", "b", ""},
    {"inUSBSlaveMode", "", ""},
    {"screenRotated", "i", ""},
    {"aboutToSuspend", "", ""},
    {"wakeup", "", ""},
    {"aboutToShutdown", "", ""},
    {"forceQuit", "", ""},
    {"onlineServiceSignal", "", ""},
    {"pppConnectionChanged", "si", ""},
    {"volumeChanged", "ib", ""},
    {"volumeUpPressed", "", ""},
    {"volumeDownPressed", "", ""},
    {"stylusChanged", "b", ""},
    {"musicPlayerStateChanged", "i", ""},
    {"downloadStateChanged", "sib", ""},
    {"hardwareTimerTimeout", "", ""},
    {"lowBatterySignal", "", ""},
    {"mouseLongPress", "iiii", ""},
    {"multiTouchPressDetected", "iiiiiiii", ""},
    {"multiTouchReleaseDetected", "iiiiiiii", ""},
    {"configKeyboard", "", ""},
    {"addressAcquired", "", ""},
};

const Member ControlMethods[] = {
    {"emitSignal", "sas", "b"},
    {"setMode", "ss", "b"},
    {"state", "", "s"},
};

const QStringList Modes = {QStringLiteral("normal"), QStringLiteral("empty"),
                            QStringLiteral("partial"), QStringLiteral("error"),
                            QStringLiteral("silent")};

template <size_t N>
const Member* find(const Member (&table)[N], const QString& name)
{
    for (const Member& m : table) {
        if (name == QLatin1String(m.name))
            return &m;
    }
    return nullptr;
}

QString typeName(char code)
{
    switch (code) {
    case 'b': return QStringLiteral("b");
    case 'i': return QStringLiteral("i");
    case 's': return QStringLiteral("s");
    default: return QStringLiteral("as");
    }
}

void appendInterfaceXml(QString& xml, const char* interface, const Member* begin,
                        const Member* end, bool methods)
{
    xml += QStringLiteral("  <interface name=\"%1\">\n").arg(QLatin1String(interface));
    for (const Member* m = begin; m != end; ++m) {
        const QString sig = QLatin1String(m->in);
        xml += QStringLiteral("    <%1 name=\"%2\">\n")
                   .arg(methods ? QStringLiteral("method") : QStringLiteral("signal"),
                        QLatin1String(m->name));
        for (int i = 0; i < sig.size(); ++i) {
            QString type = sig.mid(i, 1);
            if (type == QLatin1String("a")) {
                type = sig.mid(i, 2);
                ++i;
            }
            xml += QStringLiteral("      <arg type=\"%1\"%2/>\n")
                       .arg(type, methods ? QStringLiteral(" direction=\"in\"") : QString());
        }
        for (const char* c = m->out; *c; ++c)
            xml += QStringLiteral("      <arg type=\"%1\" direction=\"out\"/>\n")
                       .arg(typeName(*c));
        xml += QStringLiteral("    </%1>\n")
                   .arg(methods ? QStringLiteral("method") : QStringLiteral("signal"));
    }
    xml += QStringLiteral("  </interface>\n");
}

QJsonValue toJson(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::QString:
    case QMetaType::QStringList:
        return QJsonValue::fromVariant(value);
    default:
        return QStringLiteral("<%1>").arg(QLatin1String(value.typeName()));
    }
}

bool parseArgument(char type, const QString& text, QVariant* out)
{
    switch (type) {
    case 'b':
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            *out = true;
            return true;
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            *out = false;
            return true;
        }
        return false;
    case 'i': {
        bool ok = false;
        const int value = text.toInt(&ok);
        *out = value;
        return ok;
    }
    case 's':
        *out = text;
        return true;
    default:
        return false;
    }
}

} // namespace

SystemManager::SystemManager(const QDBusConnection& bus, CallLog* log, const Options& options,
                             QObject* parent)
    : QDBusVirtualObject(parent)
    , bus(bus)
    , callLog(log)
    , options(options)
{
}

QString SystemManager::introspect(const QString&) const
{
    QString xml;
    appendInterfaceXml(xml, SystemManager::Interface, std::begin(Methods), std::end(Methods), true);
    appendInterfaceXml(xml, SystemManager::Interface, std::begin(Signals), std::end(Signals), false);
    appendInterfaceXml(xml, SystemManager::ControlInterface, std::begin(ControlMethods),
                       std::end(ControlMethods), true);
    return xml;
}

bool SystemManager::handleMessage(const QDBusMessage& message, const QDBusConnection&)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QString interface = message.interface();
    const QString member = message.member();
    if (interface == QLatin1String(SystemManager::ControlInterface)
        || (interface.isEmpty() && find(ControlMethods, member))) {
        handleControlCall(message);
        return true;
    }
    if (interface == QLatin1String(SystemManager::Interface) || interface.isEmpty()) {
        handleDeviceCall(message);
        return true;
    }
    return false;
}

void SystemManager::logCall(const QDBusMessage& message, bool control)
{
    QJsonArray args;
    for (const QVariant& arg : message.arguments())
        args.append(toJson(arg));
    QJsonObject entry{{QStringLiteral("method"), message.member()},
                      {QStringLiteral("sig"), message.signature()},
                      {QStringLiteral("args"), args}};
    if (control)
        entry.insert(QStringLiteral("control"), true);
    callLog->write(entry);
}

bool SystemManager::acceptCall(const QDBusMessage& message, const void* known)
{
    const auto* member = static_cast<const Member*>(known);
    if (!member) {
        bus.send(message.createErrorReply(QLatin1String(UnknownMethodError),
                                            QStringLiteral("No such method: %1").arg(message.member())));
        return false;
    }
    if (message.signature() != QLatin1String(member->in)) {
        bus.send(message.createErrorReply(
            QLatin1String(InvalidArgsError),
            QStringLiteral("%1 takes (%2), got (%3)")
                .arg(message.member(), QLatin1String(member->in), message.signature())));
        return false;
    }
    return true;
}

void SystemManager::handleDeviceCall(const QDBusMessage& message)
{
    logCall(message, false);
    const QString method = message.member();
    if (!acceptCall(message, find(Methods, method)))
        return;
    const QString mode = modes.value(method, QStringLiteral("normal"));
    if (mode == QLatin1String("silent"))
        return;   // the caller waits for its own timeout
    if (mode == QLatin1String("error")) {
        bus.send(message.createErrorReply(QLatin1String(FailedError),
                                            QStringLiteral("%1 failed").arg(method)));
        return;
    }
    if (mode == QLatin1String("empty")) {
        bus.send(message.createReply());
        return;
    }
    QVariantList reply = perform(method, message.arguments());
    if (mode == QLatin1String("partial") && !reply.isEmpty())
        reply.removeLast();   // acted on, but the answer comes short
    bus.send(message.createReply(reply));
}

QVariantList SystemManager::perform(const QString& method, const QVariantList& args)
{
    if (method == QLatin1String("setSystemBusy")) {
        busy = args.at(0).toBool();
        busyIndicator = args.at(1).toBool();
        return {};
    }
    if (method == QLatin1String("setSuspendInterval")) {
        const int ms = args.at(0).toInt();
        if (ms < 0)
            return {false};
        suspendInterval = ms;
        return {true};
    }
    if (method == QLatin1String("setShutdownInterval")) {
        const int ms = args.at(0).toInt();
        if (ms < 0)
            return {false};
        shutdownInterval = ms;
        return {true};
    }
    if (method == QLatin1String("sdioState"))
        return {options.sdio};
    if (method == QLatin1String("enableSdio")) {
        const bool on = args.at(0).toBool();
        if (options.sdioLocked)
            return {on == options.sdio};
        if (on != options.sdio) {
            options.sdio = on;
            // The radio takes wpa_supplicant and the connection with it.
            if (!on && wpaRunning)
                runShell(options.wpaStopCommand, QString());
            if (!on) {
                wpaRunning = false;
                addressAcquired = false;
                connection.clear();
            }
            // Announced after the reply, as the radio comes up.
            QTimer::singleShot(0, this, [this, on] {
                sendSignal(QStringLiteral("sdioChangedSignal"), {on});
            });
        }
        return {true};
    }
    if (method == QLatin1String("startWpaSupplicant")) {
        if (!options.sdio)
            return {false};
        if (!wpaRunning)
            wpaRunning = runShell(options.wpaStartCommand, args.at(0).toString());
        return {wpaRunning};
    }
    if (method == QLatin1String("stopWpaSupplicant")) {
        if (wpaRunning && !runShell(options.wpaStopCommand, QString()))
            return {false};
        wpaRunning = false;
        addressAcquired = false;
        connection.clear();
        return {true};
    }
    if (method == QLatin1String("batteryStatus"))
        return {0, options.batteryLevel, options.batteryStatus};
    if (method == QLatin1String("acquireAddress")) {
        const bool on = args.at(0).toBool();
        if (on && !options.sdio)
            return {false};
        QByteArray output;
        const bool ok = !on || runShell(options.addressCommand, QString(), &output);
        addressAcquired = on && ok;
        const QList<QByteArray> lines = output.trimmed().split('\n');
        connection = addressAcquired ? QString::fromUtf8(lines.last()) : QString();
        if (on) {
            QTimer::singleShot(0, this, [this] {
                sendSignal(QStringLiteral("addressAcquired"), {});
            });
        }
        return {ok};
    }
    return {};
}

bool SystemManager::runShell(const QString& command, const QString& argument, QByteArray* output)
{
    if (command.isEmpty())
        return true;
    // The argument goes in as $1, never into the command text.
    QProcess process;
    process.setProcessChannelMode(output ? QProcess::ForwardedErrorChannel
                                         : QProcess::ForwardedChannels);
    process.start(QStringLiteral("sh"),
                  {QStringLiteral("-c"), command, QStringLiteral("sh"), argument});
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

void SystemManager::handleControlCall(const QDBusMessage& message)
{
    logCall(message, true);
    const QString method = message.member();
    if (!acceptCall(message, find(ControlMethods, method)))
        return;
    const QVariantList args = message.arguments();
    if (method == QLatin1String("state")) {
        bus.send(message.createReply(
            QString::fromUtf8(QJsonDocument(state()).toJson(QJsonDocument::Compact))));
        return;
    }
    if (method == QLatin1String("setMode")) {
        const QString target = args.at(0).toString();
        const QString mode = args.at(1).toString();
        if (!find(Methods, target) || !Modes.contains(mode)) {
            bus.send(message.createErrorReply(
                QLatin1String(InvalidArgsError),
                QStringLiteral("unknown method %1 or mode %2 (modes: %3)")
                    .arg(target, mode, Modes.join(QLatin1Char(' ')))));
            return;
        }
        modes.insert(target, mode);
        bus.send(message.createReply(true));
        return;
    }
    // emitSignal
    QString error;
    if (!emitBroadcast(args.at(0).toString(), args.at(1).toStringList(), &error)) {
        bus.send(message.createErrorReply(QLatin1String(InvalidArgsError), error));
        return;
    }
    bus.send(message.createReply(true));
}

bool SystemManager::emitBroadcast(const QString& name, const QStringList& args, QString* error)
{
    const Member* signal = find(Signals, name);
    if (!signal) {
        *error = QStringLiteral("unknown signal %1").arg(name);
        return false;
    }
    const QByteArray types(signal->in);
    if (args.size() != types.size()) {
        *error = QStringLiteral("%1 takes %2 arguments (%3), got %4")
                     .arg(name)
                     .arg(types.size())
                     .arg(QLatin1String(types))
                     .arg(args.size());
        return false;
    }
    QVariantList values;
    for (int i = 0; i < args.size(); ++i) {
        QVariant value;
        if (!parseArgument(types.at(i), args.at(i), &value)) {
            *error = QStringLiteral("argument %1 of %2 is not of type %3: %4")
                         .arg(i + 1)
                         .arg(name, QString(QLatin1Char(types.at(i))), args.at(i));
            return false;
        }
        values.append(value);
    }
    // Broadcasts that report device state also change it.
    if (name == QLatin1String("batterySignal")) {
        options.batteryLevel = values.at(0).toInt();
        options.batteryStatus = values.at(1).toInt();
    } else if (name == QLatin1String("sdioChangedSignal")) {
        options.sdio = values.at(0).toBool();
    }
    sendSignal(name, values);
    return true;
}

void SystemManager::sendSignal(const QString& name, const QVariantList& args)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(SystemManager::Object),
                                                     QLatin1String(SystemManager::Interface), name);
    signal.setArguments(args);
    bus.send(signal);
    QJsonArray json;
    for (const QVariant& arg : args)
        json.append(toJson(arg));
    callLog->write({{QStringLiteral("signal"), name}, {QStringLiteral("args"), json}});
}

QJsonObject SystemManager::state() const
{
    return {
        {QStringLiteral("busy"), busy},
        {QStringLiteral("busyIndicator"), busyIndicator},
        {QStringLiteral("sdCard"), QFile::exists(QLatin1String(SdCardNode))},
        {QStringLiteral("sdio"), options.sdio},
        {QStringLiteral("batteryLevel"), options.batteryLevel},
        {QStringLiteral("batteryStatus"), options.batteryStatus},
        {QStringLiteral("suspendInterval"), suspendInterval},
        {QStringLiteral("shutdownInterval"), shutdownInterval},
        {QStringLiteral("wpaSupplicant"), wpaRunning},
        {QStringLiteral("addressAcquired"), addressAcquired},
        {QStringLiteral("connection"), connection},
    };
}
