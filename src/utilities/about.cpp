#include "utilities/about.h"

#include "fileops/outputwindow.h"
#include "fileops/runcommandsync.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"

#include <QBuffer>
#include <QCoreApplication>

namespace utilities {

namespace {

const char DisksCommand[] = "df -h";
const char InterfaceCommand[] = "ifconfig wlan0";
const char WirelessCommand[] = "iwconfig wlan0";

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

} // namespace

QString aboutText()
{
    sys::SystemConfig config;
    int left = -1;
    int batteryState = 0;
    const bool battery = sys::SysStatus::instance().batteryStatus(left, batteryState);
    QString text = tr("lirro: tiny file manager for Vexa Pell Q27\n")
        + tr("      Authors: the lirro developers\n")
        + tr("       Device: %1\n").arg(sys::SystemConfig::cpuInfo())
        + tr("Serial number: %1\n").arg(config.serialNumber())
        + tr("    Device id: %1\n").arg(config.deviceId())
        + tr("     Firmware: v.%1\n").arg(sys::SystemConfig::version())
        + tr("           Qt: v.%1\n").arg(QLatin1String(qVersion()))
        // A level the service did not give is not shown as one.
        + tr("Battery level: %1%\n").arg(battery ? QString::number(left) : QStringLiteral("?"))
        + tr("       Memory: %1\n").arg(sys::SystemConfig::memInfo())
        + tr("  Disks usage:\n") + runCommandSync(QLatin1String(DisksCommand));
    if (!sys::SysStatus::instance().currentConnection().isEmpty()) {
        text += QLatin1Char('\n') + runCommandSync(QLatin1String(InterfaceCommand))
                + runCommandSync(QLatin1String(WirelessCommand));
    }
    return text;
}

void showAbout(QWidget* /*window*/)
{
    QByteArray bytes = aboutText().toLocal8Bit();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    showOutputWindow(&buffer, tr("About tiny file manager for Vexa Pell Q27"));
}

} // namespace utilities
