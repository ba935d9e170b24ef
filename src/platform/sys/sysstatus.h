#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QScopedPointer>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QVariantList>

class QDBusMessage;
class QDBusPendingCall;

namespace sys {

// The program's client of the device's system manager service (power,
// SD card slot, Wi-Fi radio, battery, busy indicator and the broadcast
// signals of the device). Every call but the busy state blocks the calling
// thread until the service answers, at most a few seconds; there is no retry
// and no cache.
class SysStatus : public QObject
{
    Q_OBJECT

public:
    static SysStatus& instance();

    // Subscribes to the system manager's signals; until then none arrive.
    // The program calls it once its first screen is on the panel: connecting
    // to the bus and two dozen subscriptions would only delay that screen.
    void listen();
    bool isListening() const { return listening; }

    // Sent without waiting for the reply, which nobody needs: callers only
    // bracket long work with it. The flag is stored before the call goes out.
    void setSystemBusy(bool on, bool indicator);
    bool systemBusy() const { return busy; }

    bool setSuspendInterval(int ms);
    bool setShutdownInterval(int ms);
    bool sdioState();
    bool enableSdio(bool on);
    bool stopWpaSupplicant();
    bool startWpaSupplicant(const QString& confFilePath);
    bool acquireAddress(bool on);
    // Fills left and status only when the service answered with level and
    // status; on any failure both stay as they were.
    bool batteryStatus(int& left, int& status);

    // Local questions, no bus traffic.
    int screenTransformation() const;
    // Rotates the running display and writes the rotation for the next
    // start. False for anything but a quarter turn (nothing changes then)
    // and when the settings file could not be written (the running display
    // is rotated all the same).
    bool setScreenTransformation(int degree);
    bool isSDMounted() const;
    // "wifi", "3g" or empty.
    QString currentConnection() const;

signals:
    void mountTreeSignal(bool inserted, const QString& mountPoint);
    void sdCardChangedSignal(bool inserted);
    void sdioChangedSignal(bool on);
    void batterySignal(int value, int status);
    void connectToPC(bool connected);
    void inUSBSlaveMode();
    void screenRotated(int degree);
    void aboutToSuspend();
    void wakeup();
    void aboutToShutdown();
    void forceQuit();
    void onlineServiceSignal();
    void pppConnectionChanged(const QString& message, int state);
    void volumeChanged(int volume, bool muted);
    void volumeUpPressed();
    void volumeDownPressed();
    void stylusChanged(bool inserted);
    void musicPlayerStateChanged(int state);
    void downloadStateChanged(const QString& path, int state, bool done);
    void hardwareTimerTimeout();
    void lowBatterySignal();
    void mouseLongPress(const QPoint& position, const QSize& size);
    void multiTouchPressDetected(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void multiTouchReleaseDetected(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void configKeyboard();

private slots:
    void onMountTreeChanged(bool inserted, const QString& mountPoint);
    void onSdCardChanged(bool inserted);
    void onSdioChanged(bool on);
    void onBatteryChanged(int value, int status);
    void onConnectToPC(bool connected);
    void onUSBSlaveMode();
    void onScreenRotated(int degree);
    void onAboutToSuspend();
    void onWakeup();
    void onAboutToShutdown();
    void onForceQuit();
    void onOnlineService();
    void onPppConnectionChanged(const QString& message, int state);
    void onVolumeChanged(int volume, bool muted);
    void onVolumeUpPressed();
    void onVolumeDownPressed();
    void onStylusChanged(bool inserted);
    void onMusicPlayerStateChanged(int state);
    void onDownloadStateChanged(const QString& path, int state, bool done);
    void onHardwareTimerTimeout();
    void onLowBattery();
    void onMouseLongPress(int x, int y, int width, int height);
    void onMultiTouchPressDetected(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void onMultiTouchReleaseDetected(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
    void onConfigKeyboard();
    // Waits, bounded, until the last busy state sent has arrived.
    void finishPendingCalls();

private:
    SysStatus();
    ~SysStatus() override;
    Q_DISABLE_COPY(SysStatus)

    static QDBusConnection bus();
    void subscribe(const char* signal, const char* slot, const char* failure);
    QDBusMessage call(const QString& method, const QVariantList& args = {});
    bool callForBool(const QString& method, const QVariantList& args = {});

    bool listening = false;
    bool busy = true;
    QScopedPointer<QDBusPendingCall> pendingBusy;
};

} // namespace sys
