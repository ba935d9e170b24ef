// Browsing on the emulated device: the real lirro through the launcher,
// driven by keys, taps and the system manager's long press; after every step
// the panel shows what the framebuffer holds.
#include <QJsonArray>
#include "support/sandbox.h"
#include <QtTest>

#include "devicesession.h"
#include "e2echeck.h"

namespace {
// A selected row's frame runs across the name column.
constexpr int kFrameRun = 200;

// A menu run at point p with its first entry under p (p known to a few
// pixels: the outline is drawn just inside the row).
bool menuAt(const QRect& menu, const QPoint& p) {
    return qAbs(menu.left() - p.x()) <= 4 && p.y() - menu.top() >= -4 && p.y() - menu.top() <= 60;
}

QString describe(const QList<QRect>& rects) {
    QStringList parts;
    for (const QRect& r : rects)
        parts << QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    return parts.join("; ");
}
}  // namespace

class BrowseEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void backRing();
    void enterByOkAndDoubleTapThenLeaveAtRoot();
    void multiselectAndMenus();
    void viewMenu();
};

void BrowseEndToEnd::init() {
    REQUIRE_SANDBOX();
}

void BrowseEndToEnd::backRing() {
    {
        // Without a card the ring holds the flash alone: Back from a folder
        // entered by OK returns to the flash, and stays there.
        DeviceSession device;
        QVERIFY2(device.start(), qPrintable(device.lastError()));
        QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
        VERIFY_PANEL(device, "start without card");
        QVERIFY(device.key("Return"));
        QVERIFY2(device.waitForTitle("/media/flash/books"), qPrintable(device.title()));
        VERIFY_PANEL(device, "books entered");
        QVERIFY(device.key("Left"));
        QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
        VERIFY_PANEL(device, "back to flash");
        QVERIFY(device.key("Left"));
        device.waitPanelSettled();
        QCOMPARE(device.title(), QString("/media/flash"));
        VERIFY_PANEL(device, "back again without card");
    }
    {
        // With a card: Back alternates between the card and the flash.
        DeviceSession device;
        DeviceSession::Options options;
        options.sdCard = true;
        QVERIFY2(device.start(options), qPrintable(device.lastError()));
        QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
        VERIFY_PANEL(device, "start with card");
        for (const char* expected : {"/media/sd", "/media/flash", "/media/sd"}) {
            QVERIFY(device.key("Left"));
            QVERIFY2(device.waitForTitle(expected), qPrintable(device.title()));
            VERIFY_PANEL(device, "back with card");
        }
    }
}

void BrowseEndToEnd::enterByOkAndDoubleTapThenLeaveAtRoot() {
    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    VERIFY_PANEL(device, "start");

    // OK on the first row (books) enters it; Back shows the parent again.
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle("/media/flash/books"), qPrintable(device.title()));
    VERIFY_PANEL(device, "entered by OK");
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    VERIFY_PANEL(device, "parent by Back");

    // Find the third row (documents) from the outline the cursor draws,
    // go back up, and double tap it (the first Down selects the first row).
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    VERIFY_PANEL(device, "cursor on documents");
    const QRect row = device.lastOutline();
    QVERIFY2(row.height() > 10 && row.width() > 150, qPrintable(QString("outline %1x%2").arg(row.width()).arg(row.height())));
    QVERIFY(device.key("Up"));
    QVERIFY(device.key("Up"));
    VERIFY_PANEL(device, "cursor back on books");
    QVERIFY(device.doubleTap(row.left() + 80, row.center().y()));
    QVERIFY2(device.waitForTitle("/media/flash/documents"), qPrintable(device.title()));
    VERIFY_PANEL(device, "entered by double tap");

    // Back walks up to "/", and Back at "/" ends the program with status 0
    // (passed on by the launcher).
    for (const char* expected : {"/media/flash", "/media", "/"}) {
        QVERIFY(device.key("Escape"));
        QVERIFY2(device.waitForTitle(expected), qPrintable(device.title()));
        VERIFY_PANEL(device, "up by Back");
    }
    QVERIFY(device.key("Escape"));
    QVERIFY(device.lirro().waitForFinished(10000));
    QCOMPARE(device.lirro().exitStatus(), QProcess::NormalExit);
    QCOMPARE(device.lirro().exitCode(), 0);
    const QList<QJsonObject> launcher = device.launcherLog();
    if (!launcher.isEmpty()) {
        QCOMPARE(launcher.last().value("event").toString(), QString("stop"));
        QCOMPARE(launcher.last().value("status").toInt(), 0);
    }
}

void BrowseEndToEnd::multiselectAndMenus() {
    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    VERIFY_PANEL(device, "start");
    const int framesBefore = longDarkRows(device.framebufferImage(), kFrameRun);

    // Nothing selected: a long press opens nothing.
    QVERIFY(device.longPress(300, 400));
    VERIFY_PANEL(device, "long press without selection");
    QCOMPARE(device.otherWindows().size(), 0);

    // With a selection the Menu key opens the local menu at the current row:
    // its left edge plus one row height, at its bottom.
    // (The first Down selects the first row; the first cursor step after
    // that is drawn as a frame, the next ones as the panel outline.)
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Up"));
    VERIFY_PANEL(device, "dicts selected");
    const QRect row = device.lastOutline();
    QVERIFY(row.isValid());
    QVERIFY(device.key("Menu"));
    QVERIFY2(device.waitForOtherWindows(1), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "local menu open");
    const QRect localMenu = device.otherWindows().value(0);
    const QPoint expected(row.left() + row.height(), row.bottom());
    QVERIFY2(menuAt(localMenu, expected),
             qPrintable(describe({localMenu, QRect(expected, QSize(1, 1))})));

    // Multiselect is the fifth entry from the end (Up from the first wraps).
    for (int i = 0; i < 5; ++i)
        QVERIFY(device.key("Up"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForOtherWindows(0), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "Multiselect chosen");

    // Down extends the selection row by row: every selected row but the
    // current one carries a frame in the framebuffer (two dark rows each).
    QVERIFY(device.key("Down"));
    VERIFY_PANEL(device, "selection extended once");
    QCOMPARE(longDarkRows(device.framebufferImage(), kFrameRun), framesBefore + 2);
    QVERIFY(device.key("Down"));
    VERIFY_PANEL(device, "selection extended twice");
    QCOMPARE(longDarkRows(device.framebufferImage(), kFrameRun), framesBefore + 4);
    QCOMPARE(longDarkRows(device.panelImage(), kFrameRun), framesBefore + 4);

    // A long press from the system manager opens the local menu at its
    // point, for the selection.
    QVERIFY(device.longPress(300, 400));
    QVERIFY2(device.waitForOtherWindows(1), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "local menu by long press");
    QVERIFY2(menuAt(device.otherWindows().value(0), QPoint(300, 400)), qPrintable(describe(device.otherWindows())));
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForOtherWindows(0), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "local menu closed");
}

void BrowseEndToEnd::viewMenu() {
    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    VERIFY_PANEL(device, "start");

    // Nothing selected: the Menu key opens the File menu from the menu bar,
    // not the local menu.
    QVERIFY(device.key("Menu"));
    QVERIFY2(device.waitForOtherWindows(1), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "File menu open");
    const QRect fileMenu = device.otherWindows().value(0);
    QVERIFY2(fileMenu.top() < 60 && fileMenu.left() < 60, qPrintable(describe({fileMenu})));

    // Show hidden by keys: Right moves to View, whose first entry is Show
    // hidden. The first row is then ".config".
    QVERIFY(device.key("Right"));
    VERIFY_PANEL(device, "View menu open");
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForOtherWindows(0), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "hidden entries shown");
    QVERIFY(device.key("Home"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle("/media/flash/.config"), qPrintable(device.title()));
    VERIFY_PANEL(device, "hidden folder entered");
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle("/media/flash"), qPrintable(device.title()));
    VERIFY_PANEL(device, "back from hidden folder");

    // Refresh screen (View, third entry): a whole-screen update with a flash.
    const QJsonObject before = device.stats();
    QVERIFY(device.key("Menu"));
    QVERIFY(device.waitForOtherWindows(1));
    QVERIFY(device.key("Right"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    VERIFY_PANEL(device, "Refresh screen active");
    const int logBefore = device.screenLog().size();
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForOtherWindows(0), qPrintable(describe(device.otherWindows())));
    VERIFY_PANEL(device, "screen refreshed");
    int wholeScreen = 0;
    for (const QJsonObject& cmd : device.screenLog().mid(logBefore))
        wholeScreen += cmd.value("type").toString() == "UPDATE_SCREEN" ? 1 : 0;
    QVERIFY2(wholeScreen >= 1, "Refresh screen sent no whole-screen update");
    const QJsonObject after = device.stats();
    QVERIFY(DeviceSession::since(after, before, "by_type", "UPDATE_SCREEN") >= 1);
    // The client's default waveform: a full flash that clears ghosting.
    QCOMPARE(DeviceSession::since(after, before, "flashes", QString()), qint64(1));
}

QTEST_GUILESS_MAIN(BrowseEndToEnd)
#include "tst_browse_e2e.moc"
