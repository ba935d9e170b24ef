#include "platform/sys/sysstatus.h"

#include "platform/logging.h"
#include "platform/sys/dbusnames.h"
#include "platform/sys/displayrotation.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSaveFile>

namespace sys {

namespace {

// A stalled service must not freeze the program for the bus's default 25 s;
// the service answers in milliseconds when it answers at all.
const int CallTimeoutMs = 3000;

// Read by the device's start scripts at the next start.
const char ScreenSettingsFile[] = "/root/Settings/screen";
const char DisplayVariable[] = "QWS_DISPLAY";
const char DefaultDisplay[] = "Transformed:Rot%1:VexaScreen:/dev/mem";
const char SdCardNode[] = "/dev/sdmmc";

// The Wi-Fi adapter of the device is named like an Ethernet interface.
const char WifiInterfaceMark[] = "eth";
const char ModemInterfaceMark[] = "ppp";

QDBusMessage methodCall(const QString& method, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        QLatin1String(dbus::SystemManagerService), QLatin1String(dbus::SystemManagerObject),
        QLatin1String(dbus::SystemManagerInterface), method);
    message.setArguments(args);
    return message;
}

QVariant unwrapped(const QVariant& value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return value.value<QDBusVariant>().variant();
    return value;
}

// The start script sources the line; anything beyond the characters a
// QWS_DISPLAY value uses is quoted so it cannot run as shell code.
QByteArray shellWord(const QByteArray& value)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_:/.,=+@%-]*$"));
    if (plain.match(QString::fromLatin1(value)).hasMatch())
        return value;
    QByteArray quoted = value;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

} // namespace

SysStatus& SysStatus::instance()
{
    static SysStatus status;
    return status;
}

SysStatus::SysStatus()
{
    // A busy state sent just before the program ends must still arrive.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &SysStatus::finishPendingCalls);
}

SysStatus::~SysStatus()
{
    finishPendingCalls();
}

QDBusConnection SysStatus::bus()
{
    return QDBusConnection::systemBus();
}

void SysStatus::listen()
{
    if (listening)
        return;
    listening = true;
    subscribe("mountTreeSignal", SLOT(onMountTreeChanged(bool, QString)),
              "\nCan not connect the mountTreeSignal!\n");
    subscribe("sdCardChangedSignal", SLOT(onSdCardChanged(bool)),
              "\nCan not connect the sdCardChangedSignal!\n");
    subscribe("sdioChangedSignal", SLOT(onSdioChanged(bool)),
              "\nCan not connect the sdioChangedSignal!\n");
    subscribe("batterySignal", SLOT(onBatteryChanged(int, int)),
              "\nCan not connect the batterySignal\n");
    subscribe("connectToPC", SLOT(onConnectToPC(bool)), "\nCan not connect the connectToPC\n");
    subscribe("inUSBSlaveMode", SLOT(onUSBSlaveMode()), "\nCan not connect the inUSBSlaveMode\n");
    subscribe("screenRotated", SLOT(onScreenRotated(int)), "\nCan not connect the screenRotated\n");
    subscribe("aboutToSuspend", SLOT(onAboutToSuspend()), "\nCan not connect the aboutToSuspend\n");
    subscribe("wakeup", SLOT(onWakeup()), "\nCan not connect the wakeup\n");
    subscribe("aboutToShutdown", SLOT(onAboutToShutdown()),
              "\nCan not connect the aboutToShutdown\n");
    subscribe("forceQuit", SLOT(onForceQuit()), "\nCan not connect the forceQuit\n");
    subscribe("onlineServiceSignal", SLOT(onOnlineService()),
              "\nCan not connect the onlineService\n");
    subscribe("pppConnectionChanged", SLOT(onPppConnectionChanged(QString, int)),
              "\nCan not connect the pppConnectionChanged\n");
    subscribe("volumeChanged", SLOT(onVolumeChanged(int, bool)),
              "\nCan not connect the volume changed\n");
    subscribe("volumeUpPressed", SLOT(onVolumeUpPressed()),
              "\nCan not connect the volumeUpPressed\n");
    subscribe("volumeDownPressed", SLOT(onVolumeDownPressed()),
              "\nCan not connect the volumeDownPressed\n");
    subscribe("stylusChanged", SLOT(onStylusChanged(bool)),
              "\nCan not connect the signal stylus changed\n");
    subscribe("musicPlayerStateChanged", SLOT(onMusicPlayerStateChanged(int)),
              "\nCan not connect the musicPlayerStateChanged signal\n");
    subscribe("downloadStateChanged", SLOT(onDownloadStateChanged(QString, int, bool)),
              "\nCan not connect the downloadStateChanged signal\n");
    subscribe("hardwareTimerTimeout", SLOT(onHardwareTimerTimeout()),
              "\nCan not connect the hardwareTimerTimeout signal\n");
    subscribe("lowBatterySignal", SLOT(onLowBattery()),
              "\nCan not connect the lowBatterySignal signal\n");
    subscribe("mouseLongPress", SLOT(onMouseLongPress(int, int, int, int)),
              "\nCan not connect the mouseLongPress signal\n");
    subscribe("multiTouchPressDetected",
              SLOT(onMultiTouchPressDetected(int, int, int, int, int, int, int, int)),
              "\nCan not connect the multiTouchPressDetected signal\n");
    subscribe("multiTouchReleaseDetected",
              SLOT(onMultiTouchReleaseDetected(int, int, int, int, int, int, int, int)),
              "\nCan not connect the multiTouchReleaseDetected signal\n");
    subscribe("configKeyboard", SLOT(onConfigKeyboard()),
              "\nCan not connect the configKeyboard signal\n");
}

void SysStatus::subscribe(const char* signal, const char* slot, const char* failure)
{
    if (!bus().connect(QLatin1String(dbus::SystemManagerService),
                       QLatin1String(dbus::SystemManagerObject),
                       QLatin1String(dbus::SystemManagerInterface), QLatin1String(signal), this,
                       slot))
        qCWarning(lcSys, "%s", failure);
}

QDBusMessage SysStatus::call(const QString& method, const QVariantList& args)
{
    return bus().call(methodCall(method, args), QDBus::Block, CallTimeoutMs);
}

void SysStatus::finishPendingCalls()
{
    // Bounded by the call's own timeout.
    if (pendingBusy)
        pendingBusy->waitForFinished();
}

bool SysStatus::callForBool(const QString& method, const QVariantList& args)
{
    const QDBusMessage reply = call(method, args);
    switch (reply.type()) {
    case QDBusMessage::ReplyMessage:
        return !reply.arguments().isEmpty() && unwrapped(reply.arguments().first()).toBool();
    case QDBusMessage::ErrorMessage:
        qCWarning(lcSys, "%s", qPrintable(reply.errorMessage()));
        return false;
    default:
        return false;
    }
}

void SysStatus::setSystemBusy(bool on, bool indicator)
{
    busy = on;
    // Called at every progress line and prompt, and nobody needs its answer:
    // sent without waiting, so a stalled service holds up nothing.
    const QDBusPendingCall sent =
        bus().asyncCall(methodCall(QStringLiteral("setSystemBusy"), {on, indicator}), CallTimeoutMs);
    if (pendingBusy)
        *pendingBusy = sent;
    else
        pendingBusy.reset(new QDBusPendingCall(sent));
}

bool SysStatus::setSuspendInterval(int ms)
{
    return callForBool(QStringLiteral("setSuspendInterval"), {ms});
}

bool SysStatus::setShutdownInterval(int ms)
{
    return callForBool(QStringLiteral("setShutdownInterval"), {ms});
}

bool SysStatus::sdioState()
{
    return callForBool(QStringLiteral("sdioState"));
}

bool SysStatus::enableSdio(bool on)
{
    return callForBool(QStringLiteral("enableSdio"), {on});
}

bool SysStatus::stopWpaSupplicant()
{
    return callForBool(QStringLiteral("stopWpaSupplicant"));
}

bool SysStatus::startWpaSupplicant(const QString& confFilePath)
{
    return callForBool(QStringLiteral("startWpaSupplicant"), {confFilePath});
}

bool SysStatus::acquireAddress(bool on)
{
    return callForBool(QStringLiteral("acquireAddress"), {on});
}

bool SysStatus::batteryStatus(int& left, int& status)
{
    const QDBusMessage reply = call(QStringLiteral("batteryStatus"));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCWarning(lcSys, "%s", qPrintable(reply.errorMessage()));
        return false;
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 3)
        return false;
    // A level or status that is not a number is no answer either.
    bool levelOk = false;
    bool statusOk = false;
    const int level = unwrapped(reply.arguments().at(1)).toInt(&levelOk);
    const int state = unwrapped(reply.arguments().at(2)).toInt(&statusOk);
    if (!levelOk || !statusOk)
        return false;
    left = level;
    status = state;
    return true;
}

int SysStatus::screenTransformation() const
{
    return DisplayRotation::degrees();
}

bool SysStatus::setScreenTransformation(int degree)
{
    if (degree != 0 && degree != 90 && degree != 180 && degree != 270) {
        qCWarning(lcSys, "Screen rotation %d is not a quarter turn", degree);
        return false;
    }
    DisplayRotation::setDegrees(degree);

    QSaveFile file{QString::fromLatin1(ScreenSettingsFile)};
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcSys, "Could not open %s for writing", ScreenSettingsFile);
        return false;
    }
    const QByteArray rotation = QByteArray::number(degree);
    const QByteArray current = qgetenv(DisplayVariable);
    QByteArray display;
    if (current.isEmpty()) {
        display = QByteArray(DefaultDisplay).replace("%1", rotation);
    } else {
        QString value = QString::fromLocal8Bit(current);
        value.replace(QRegularExpression(QStringLiteral(":Rot[0-9]+")),
                      QStringLiteral(":Rot") + QString::fromLatin1(rotation));
        display = value.toLocal8Bit();
    }
    file.write("export QWS_DISPLAY=" + shellWord(display));
    if (!file.commit()) {
        qCWarning(lcSys, "Could not write %s", ScreenSettingsFile);
        return false;
    }
    return true;
}

bool SysStatus::isSDMounted() const
{
    return QFile::exists(QLatin1String(SdCardNode));
}

QString SysStatus::currentConnection() const
{
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (!(iface.flags() & QNetworkInterface::IsUp) || iface.addressEntries().isEmpty())
            continue;
        if (iface.name().contains(QLatin1String(WifiInterfaceMark)))
            return QStringLiteral("wifi");
        if (iface.name().contains(QLatin1String(ModemInterfaceMark)))
            return QStringLiteral("3g");
    }
    return QString();
}

void SysStatus::onMountTreeChanged(bool inserted, const QString& mountPoint)
{
    emit mountTreeSignal(inserted, mountPoint);
}

void SysStatus::onSdCardChanged(bool inserted)
{
    emit sdCardChangedSignal(inserted);
}

void SysStatus::onSdioChanged(bool on)
{
    emit sdioChangedSignal(on);
}

void SysStatus::onBatteryChanged(int value, int status)
{
    emit batterySignal(value, status);
}

void SysStatus::onConnectToPC(bool connected)
{
    emit connectToPC(connected);
}

void SysStatus::onUSBSlaveMode()
{
    emit inUSBSlaveMode();
}

void SysStatus::onScreenRotated(int degree)
{
    emit screenRotated(degree);
}

void SysStatus::onAboutToSuspend()
{
    emit aboutToSuspend();
}

void SysStatus::onWakeup()
{
    emit wakeup();
}

void SysStatus::onAboutToShutdown()
{
    emit aboutToShutdown();
}

void SysStatus::onForceQuit()
{
    emit forceQuit();
}

void SysStatus::onOnlineService()
{
    emit onlineServiceSignal();
}

void SysStatus::onPppConnectionChanged(const QString& message, int state)
{
    emit pppConnectionChanged(message, state);
}

void SysStatus::onVolumeChanged(int volume, bool muted)
{
    emit volumeChanged(volume, muted);
}

void SysStatus::onVolumeUpPressed()
{
    emit volumeUpPressed();
}

void SysStatus::onVolumeDownPressed()
{
    emit volumeDownPressed();
}

void SysStatus::onStylusChanged(bool inserted)
{
    emit stylusChanged(inserted);
}

void SysStatus::onMusicPlayerStateChanged(int state)
{
    emit musicPlayerStateChanged(state);
}

void SysStatus::onDownloadStateChanged(const QString& path, int state, bool done)
{
    emit downloadStateChanged(path, state, done);
}

void SysStatus::onHardwareTimerTimeout()
{
    emit hardwareTimerTimeout();
}

void SysStatus::onLowBattery()
{
    emit lowBatterySignal();
}

void SysStatus::onMouseLongPress(int x, int y, int width, int height)
{
    emit mouseLongPress(QPoint(x, y), QSize(width, height));
}

void SysStatus::onMultiTouchPressDetected(int x1, int y1, int x2, int y2, int x3, int y3, int x4,
                                          int y4)
{
    emit multiTouchPressDetected(x1, y1, x2, y2, x3, y3, x4, y4);
}

void SysStatus::onMultiTouchReleaseDetected(int x1, int y1, int x2, int y2, int x3, int y3,
                                            int x4, int y4)
{
    emit multiTouchReleaseDetected(x1, y1, x2, y2, x3, y3, x4, y4);
}

void SysStatus::onConfigKeyboard()
{
    emit configKeyboard();
}

} // namespace sys
