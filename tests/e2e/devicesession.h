#pragma once

#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

// One emulated device for an end-to-end test: the system manager stand-in,
// Xvfb with its framebuffer exported, the screen service emulating the
// panel from it, and the real lirro started through the device's launcher,
// all inside the sandbox the test runs in. Logs are JSON lines read back by
// the test; the panel's figures come from the screen service itself.
class DeviceSession {
public:
    struct Options {
        bool sdCard = false;       // /dev/sdmmc present while the device runs
        bool useLauncher = true;   // through /opt/vexa/arm/bin/lirro.oar when installed
        QStringList lirroArgs;
    };

    DeviceSession();
    ~DeviceSession();

    bool start(const Options& options);
    bool start() { return start(Options()); }
    void stop();

    // Input on the device's screen; true when xdotool exited 0.
    bool xdotool(const QStringList& args, QString* output = nullptr);
    bool key(const QString& name);
    bool type(const QString& text);
    bool tap(int x, int y);
    bool doubleTap(int x, int y);
    // The system manager's long press, as the device reports it.
    bool longPress(int x, int y);

    // The shown directory (the main window's title).
    QString title();
    bool waitForTitle(const QString& title, int timeoutMs = 10000);
    // Waits until a top-level window with this exact name is shown (or,
    // with shown false, until none is); a dialog's window title.
    bool waitForWindow(const QString& name, bool shown = true, int timeoutMs = 10000);

    // The screen service's figures ("STATS?"); empty when it did not answer.
    QJsonObject stats();
    // Waits until no command reached the panel and the framebuffer did not
    // change for quietMs; returns the figures then (empty on timeout).
    QJsonObject waitPanelSettled(int quietMs = 300, int timeoutMs = 15000);
    qint64 stalePixels();
    // The most stale pixels seen while sampling for durationMs (for parts of
    // the screen that change by themselves, like a blinking text cursor).
    qint64 mostStalePixels(int durationMs);
    // Figures counted since `before` (a stats() object), e.g. "GC" waveform.
    static qint64 since(const QJsonObject& now, const QJsonObject& before, const QString& group,
                        const QString& key);

    QImage panelImage();
    QImage framebufferImage();
    // Saves both pictures and the stale figure next to the logs under name.
    void keepPictures(const QString& name);

    QList<QJsonObject> screenLog() const;
    QList<QJsonObject> systemLog() const;
    QList<QJsonObject> launcherLog() const;
    int waitScreenSettled(int quietMs = 600, int timeoutMs = 10000);
    // The current row's outline as last drawn on the panel (device pixels).
    QRect lastOutline() const;

    // Waits for the panel to settle and compares it with the framebuffer:
    // true when no pixel is stale; otherwise why says so with the figures
    // and both pictures are kept under the step's name.
    bool panelMatches(const QString& step, QString* why);
    // lirro's shown windows other than the main window (menus, dialogs).
    QList<QRect> otherWindows();
    // Waits until otherWindows() has count entries.
    bool waitForOtherWindows(int count, int timeoutMs = 10000);

    // Every path under root, relative to it, sorted; directories end in "/".
    static QStringList fileTree(const QString& root);

    // The launcher (or lirro itself without it); its exit status is lirro's.
    QProcess& lirro() { return lirro_; }
    qint64 lirroPid() const { return lirroPid_; }
    QString stateDir() const { return dir_; }
    QString lastError() const { return error_; }

private:
    bool startHelper(QProcess& proc, const QString& program, const QStringList& args);
    static QList<QJsonObject> readLog(const QString& path);

    QString dir_;
    QString fbdir_;
    QString display_;
    QString windowId_;
    QString error_;
    qint64 lirroPid_ = 0;
    int steps_ = 0;
    QProcess systemManager_;
    QProcess screenService_;
    QProcess xvfb_;
    QProcess lirro_;
};
