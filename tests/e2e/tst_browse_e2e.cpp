// Browsing on the emulated device with the device's keys, taps and long
// press, from the start to the end through the launcher; after every step
// the panel shows what the framebuffer holds.
#include "e2e/devicesession.h"
#include "support/sandbox.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");

QString point(const QPoint& p)
{
    return QStringLiteral("%1 %2").arg(p.x()).arg(p.y());
}

// A popup menu opened at p (known to a few pixels).
bool menuAt(const QRect& menu, const QPoint& p)
{
    return qAbs(menu.left() - p.x()) <= 4 && p.y() - menu.top() >= -4 && p.y() - menu.top() <= 60;
}

// Rows crossed by a dark run of at least 200 pixels: the frame a selected
// row carries runs across the name column.
int framedRows(const QImage& image)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0, best = 0;
        for (int x = 0; x < image.width(); ++x)
            best = qMax(best, run = image.pixelColor(x, y).lightness() < 128 ? run + 1 : 0);
        rows += best >= 200 ? 1 : 0;
    }
    return rows;
}

} // namespace

// One device from its start to its end, each case going on from where the
// one before left it.
class BrowseEndToEnd : public QObject
{
    Q_OBJECT

    DeviceSession device;

private Q_SLOTS:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void start()
    {
        QVERIFY(device.start());
        // Start: the busy state cleared, no flash, the picture sent once
        // painting settled, and then nothing while idle.
        VERIFY_PANEL(device, "started");
        bool cleared = false;
        for (const QJsonObject& call : device.log("system-manager"))
            cleared |= call.value("method") == "setSystemBusy" && call.value("args") == QJsonArray{ false, true };
        QVERIFY(cleared);
        for (const QJsonObject& command : device.log("screen-service"))
            QVERIFY2(command.value("waveform") != "GC", "a flash at start");
        const int sent = device.log("screen-service").size();
        QVERIFY(!QTest::qWaitFor([&] { return device.log("screen-service").size() != sent; }, 800));

        // Nothing selected: a long press opens nothing.
        QVERIFY(device.input("long 300 400"));
        VERIFY_PANEL(device, "long press without selection");
        QCOMPARE(device.otherWindows().size(), 0);
    }

    void cursorAndFolders()
    {
        // Each cursor step: the outline around the new row on the panel, the
        // old one gone, one GU, no flash. From the last row, README.txt.
        QVERIFY(device.key("Down"));
        VERIFY_PANEL(device, "a row selected");
        QVERIFY(device.key("End"));
        VERIFY_PANEL(device, "last row");
        VERIFY_CURSOR_STEP(device, "Up");
        VERIFY_CURSOR_STEP(device, "Up");
        VERIFY_CURSOR_STEP(device, "Down");
        const QRect pictures = device.lastOutline();

        // OK enters the current row; Back shows the parent again.
        QVERIFY(device.key("Return"));
        QVERIFY2(device.waitForTitle(Flash + "/pictures"), qPrintable(device.title()));
        VERIFY_PANEL(device, "entered by OK");
        QVERIFY(device.key("Escape"));
        QVERIFY2(device.waitForTitle(Flash), qPrintable(device.title()));
        VERIFY_PANEL(device, "parent by Back");

        // A double tap (through the device's input forwarder) on documents,
        // three rows above pictures, enters it: hello.sh, My Notes.txt, note.xml.
        QVERIFY(device.input("double " + point(pictures.translated(0, -3 * pictures.height()).center())));
        QVERIFY2(device.waitForTitle(Flash + "/documents"), qPrintable(device.title()));
        VERIFY_PANEL(device, "entered by double tap");
    }

    void multiselectAndMenus()
    {
        const int framesBefore = framedRows(device.framebufferImage());

        // The Menu key opens the local menu at the current row, the first:
        // its left edge plus one row height, at its bottom.
        QVERIFY(device.keys({ "Down", "Down", "Down" }));
        VERIFY_PANEL(device, "a row selected, then the next two");
        VERIFY_CURSOR_STEP(device, "Up");
        const QRect row = device.lastOutline().translated(0, -device.lastOutline().height());
        QVERIFY(device.key("Up"));
        VERIFY_PANEL(device, "first row");
        QVERIFY(device.key("Menu"));
        QVERIFY(device.waitForOtherWindows(1));
        VERIFY_PANEL(device, "local menu open");
        QVERIFY(menuAt(device.otherWindows().value(0), QPoint(row.left() + row.height(), row.bottom())));

        // Multiselect, the fifth entry from the end (Up from the first wraps);
        // then Down extends the selection to all three: the selected rows
        // carry a frame, the current one the outline (two dark rows each).
        QVERIFY(device.keys({ "Up", "Up", "Up", "Up", "Up", "Return" }));
        QVERIFY(device.waitForOtherWindows(0));
        VERIFY_PANEL(device, "Multiselect chosen");
        QVERIFY(device.keys({ "Down", "Down" }));
        VERIFY_PANEL(device, "selection extended twice");
        QCOMPARE(framedRows(device.framebufferImage()), framesBefore + 6);
        QCOMPARE(framedRows(device.panelImage()), framesBefore + 6);

        // With a selection a long press opens the local menu at its point.
        QVERIFY(device.input("long 300 400"));
        QVERIFY(device.waitForOtherWindows(1));
        VERIFY_PANEL(device, "local menu by long press");
        QVERIFY(menuAt(device.otherWindows().value(0), QPoint(300, 400)));
        QVERIFY(device.key("Escape"));
        QVERIFY(device.waitForOtherWindows(0));
        VERIFY_PANEL(device, "local menu closed");
    }

    void viewMenu()
    {
        // Back to the flash, nothing selected there: Menu opens the File
        // menu; Right moves to View, whose first entry shows hidden entries:
        // the first row is .config.
        QVERIFY(device.key("Escape"));
        QVERIFY2(device.waitForTitle(Flash), qPrintable(device.title()));
        QVERIFY(device.key("Menu"));
        QVERIFY(device.waitForOtherWindows(1));
        QVERIFY(device.otherWindows().value(0).top() < 60);
        VERIFY_PANEL(device, "File menu open");
        QVERIFY(device.key("Right"));
        VERIFY_PANEL(device, "View menu open");
        QVERIFY(device.key("Return"));
        QVERIFY(device.waitForOtherWindows(0));
        VERIFY_PANEL(device, "hidden entries shown");
        QVERIFY(device.keys({ "Home", "Return" }));
        QVERIFY2(device.waitForTitle(Flash + "/.config"), qPrintable(device.title()));
        VERIFY_PANEL(device, "hidden folder entered");

        // Refresh screen (View, third entry): one flash of the whole screen.
        const QJsonObject before = device.stats();
        QVERIFY(device.menu({ "Right", "Down", "Down" }));
        QVERIFY(device.waitForOtherWindows(0));
        VERIFY_PANEL(device, "screen refreshed");
        const QJsonObject after = device.stats();
        QCOMPARE(DeviceSession::since(after, before, QString(), "flashes"), qint64(1));
        QVERIFY(DeviceSession::since(after, before, "by_type", "UPDATE_SCREEN") >= 1);
    }

    void leaveByBack()
    {
        // Back walks up to "/"; Back at "/" ends lirro with status 0, passed
        // on by the launcher.
        for (const QString& parent : { Flash, QStringLiteral("/media"), QStringLiteral("/") }) {
            QVERIFY(device.key("Escape"));
            QVERIFY2(device.waitForTitle(parent), qPrintable(device.title()));
            VERIFY_PANEL(device, "up by Back");
        }
        QVERIFY(device.key("Escape"));
        int status = -1;
        QVERIFY(device.waitForExit(&status));
        QCOMPARE(status, 0);
        const QJsonObject stop = device.log("launcher").value(device.log("launcher").size() - 1);
        QCOMPARE(stop.value("event").toString(), QStringLiteral("stop"));
        QCOMPARE(stop.value("status").toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(BrowseEndToEnd)
#include "tst_browse_e2e.moc"
