// Stand-in for the device's system manager on the D-Bus system bus
// (DBUS_SYSTEM_BUS_ADDRESS). Logs every call as one JSON line and prints
// "ready" on standard error once it owns its name.
#include "calllog.h"
#include "systemmanager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("system-manager"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in for the device's system manager service on the system bus."));
    parser.addHelpOption();
    const QCommandLineOption logOption(QStringLiteral("log"),
                                       QStringLiteral("Append the call log to <file> (default: stderr)."),
                                       QStringLiteral("file"));
    const QCommandLineOption batteryOption(QStringLiteral("battery"),
                                           QStringLiteral("Battery level in percent (default 80)."),
                                           QStringLiteral("level"), QStringLiteral("80"));
    const QCommandLineOption batteryStatusOption(QStringLiteral("battery-status"),
                                                 QStringLiteral("Battery status code (default 0)."),
                                                 QStringLiteral("status"), QStringLiteral("0"));
    const QCommandLineOption sdioOption(QStringLiteral("sdio"),
                                        QStringLiteral("The Wi-Fi radio is powered at start."));
    const QCommandLineOption sdioLockedOption(QStringLiteral("sdio-locked"),
                                              QStringLiteral("The Wi-Fi radio cannot be switched."));
    const QCommandLineOption wpaStartOption(QStringLiteral("wpa-command"),
                                            QStringLiteral("Shell command that starts wpa_supplicant ($1: configuration file)."),
                                            QStringLiteral("command"));
    const QCommandLineOption wpaStopOption(QStringLiteral("wpa-stop-command"),
                                           QStringLiteral("Shell command that stops wpa_supplicant."),
                                           QStringLiteral("command"));
    const QCommandLineOption addressOption(QStringLiteral("address-command"),
                                           QStringLiteral("Shell command run to acquire the address."),
                                           QStringLiteral("command"));
    parser.addOptions({logOption, batteryOption, batteryStatusOption, sdioOption,
                       sdioLockedOption, wpaStartOption, wpaStopOption, addressOption});
    parser.process(app);

    SystemManager::Options options;
    bool ok = true;
    options.batteryLevel = parser.value(batteryOption).toInt(&ok);
    if (!ok)
        parser.showHelp(2);
    options.batteryStatus = parser.value(batteryStatusOption).toInt(&ok);
    if (!ok)
        parser.showHelp(2);
    options.sdio = parser.isSet(sdioOption);
    options.sdioLocked = parser.isSet(sdioLockedOption);
    options.wpaStartCommand = parser.value(wpaStartOption);
    options.wpaStopCommand = parser.value(wpaStopOption);
    options.addressCommand = parser.value(addressOption);

    CallLog log(parser.value(logOption));
    if (!log.isOpen()) {
        fprintf(stderr, "system-manager: cannot open log %s\n", qPrintable(parser.value(logOption)));
        return 1;
    }

    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        fprintf(stderr, "system-manager: no system bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    SystemManager manager(bus, &log, options);
    if (!bus.registerVirtualObject(QLatin1String(SystemManager::Object), &manager)) {
        fprintf(stderr, "system-manager: cannot register %s\n", SystemManager::Object);
        return 1;
    }
    if (!bus.registerService(QLatin1String(SystemManager::Service))) {
        fprintf(stderr, "system-manager: cannot own %s: %s\n", SystemManager::Service,
                qPrintable(bus.lastError().message()));
        return 1;
    }
    fprintf(stderr, "ready\n");
    fflush(stderr);
    return app.exec();
}
