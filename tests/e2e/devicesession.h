#pragma once

#include "support/processes.h"

#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

// The emulated device for an end-to-end test, started by scripts/device-session
// inside the test's sandbox as `scripts/run-device` starts it: the system
// manager stand-in, Xvfb with its framebuffer exported, the device's window
// manager, the screen service emulating the panel, the input forwarder and
// the real lirro through the device's launcher. Checked through its logs,
// the screen service's figures and the two pictures.
class DeviceSession
{
public:
    ~DeviceSession();

    // Starts the device and waits for lirro's main window on its first
    // directory, the internal flash.
    bool start();
    // Waits for the device to end; its status is lirro's, passed on by the launcher.
    bool waitForExit(int* status);
    // Waits for the lirro started again (by the launcher, or after a
    // screen rotation) and its main window.
    bool waitForRestart();

    // Real X input on the device's screen (xdotool key names).
    bool key(const QString& name);
    bool keys(const QStringList& names);
    bool type(const QString& text);
    // A tap straight on the X screen: keys sent after it come after it.
    bool click(int x, int y);
    // A line for the device's input forwarder, as the device window sends
    // it: "tap X Y", "double X Y", "long X Y" (the system manager's long press).
    bool input(const QString& line);

    // The main window's title: the shown directory.
    QString title();
    bool waitForTitle(const QString& title);
    // A top-level window of lirro with this exact name shown (or gone).
    bool waitForWindow(const QString& name, bool shown = true);
    // lirro's shown windows other than the main window (menus, dialogs).
    QList<QRect> otherWindows();
    bool waitForOtherWindows(int count);
    // Opens a menu with the Menu key and, once it shows, presses keys and OK.
    bool menu(const QStringList& keys);
    static QStringList repeated(const QString& key, int count);

    // The screen service's figures ("STATS?"); empty when it did not answer.
    QJsonObject stats();
    // A figure's growth since an earlier stats() ("GU" in "by_waveform", or a
    // top-level figure with an empty group).
    static qint64 since(const QJsonObject& now, const QJsonObject& before, const QString& group,
                        const QString& key);
    // Waits until nothing reached the panel and the framebuffer stayed
    // still for a while; then true when no pixel is stale (and none turns
    // stale for holdMs more), else false with why and both pictures kept.
    bool panelMatches(const QString& step, QString* why, int holdMs = 0);
    // One cursor step by key: the panel settles with one GU update and no
    // flash, no stale pixel, the new outline drawn and shown whole on the
    // panel and nothing left of the one before.
    bool cursorStep(const QString& key, QString* why);

    QImage panelImage();
    QImage framebufferImage() const;
    // A JSON-lines log of the device: "screen-service", "system-manager", "launcher".
    QList<QJsonObject> log(const QString& name) const;
    // Whether a line of that log holds all of fields.
    bool logged(const QString& name, const QJsonObject& fields) const;
    // The last outline drawn (panel pixels), from the command log.
    QRect lastOutline() const;

private:
    // Takes a lirro other than previous with its main window shown.
    bool attach(qint64 previous);
    bool xdotool(const QStringList& arguments, QString* output = nullptr);
    QJsonObject settled();

    QString dir;
    QString mainWindow;
    qint64 lirroPid = 0;
    int steps = 0;
    support::HelperProcess session;
};

// After a step: the panel settles and shows exactly what the framebuffer
// holds (and still does holdMs later).
#define VERIFY_PANEL_FOR(device, step, holdMs)                                                      \
    do {                                                                                            \
        QString why_;                                                                               \
        QVERIFY2((device).panelMatches(QStringLiteral(step), &why_, holdMs), qPrintable(why_));     \
    } while (false)
#define VERIFY_PANEL(device, step) VERIFY_PANEL_FOR(device, step, 0)
// A line edit's text cursor would blink by itself, changing the framebuffer
// with nothing sent; the program keeps it steady: watched over more than a
// blink period.
#define VERIFY_PANEL_STEADY(device, step) VERIFY_PANEL_FOR(device, step, 1300)

#define VERIFY_CURSOR_STEP(device, key)                                                             \
    do {                                                                                            \
        QString why_;                                                                               \
        QVERIFY2((device).cursorStep(QStringLiteral(key), &why_), qPrintable(why_));                \
    } while (false)
