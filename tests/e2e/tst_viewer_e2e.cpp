// View, Edit and the screen rotation on the emulated device, by its keys:
// each kind of file in its window, a search shown on the panel, an edit that
// leaves the file under its name, and the device turned through the dialog.
#include "e2e/devicesession.h"
#include "support/files.h"
#include "support/sandbox.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString Work = Flash + "/aaa_view"; // sorts first

// Rows in order: a.txt, a.zip, data.bin, main.c, note.xml, run.sh (the size
// limit's message is the view tests').
bool prepare()
{
    return support::freshDir(Work) && support::writeFile(Work + "/a.txt", "text")
        && support::writeFile(Work + "/a.zip", support::makeZip({{"inside.txt", "x"}}))
        && support::writeFile(Work + "/data.bin", QByteArray("\x00\x7f\xe9\xff", 4))
        && support::writeFile(Work + "/main.c", "/* a\n comment */\nint main() { return 0; } // needle\n")
        && support::writeFile(Work + "/note.xml", "<?xml version=\"1.0\"?>\n<a href=\"x\">&amp;</a>\n")
        && support::writeFile(Work + "/run.sh", "#!/bin/sh\necho \"$HOME\" # home\n", 0755);
}

// The item menu's entry this many Ups from its first: 1 View, 2 Edit.
bool choose(DeviceSession& device, int ups)
{
    return device.menu(DeviceSession::repeated("Up", ups));
}

int darkPixels(const QImage& image)
{
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 64;
    return dark;
}

} // namespace

// One device: the rotation, which starts lirro again, comes last.
class ViewerEndToEnd : public QObject
{
    Q_OBJECT

    DeviceSession device;

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(prepare());
        qputenv("LIRRO_TEXT_EDITOR_APPEND", " edited");
        QVERIFY(device.start());
        QVERIFY(device.keys({"Home", "Return"}) && device.waitForTitle(Work) && device.key("Down"));
    }

    void viewAndEdit()
    {

        QVERIFY(choose(device, 2));
        QTRY_COMPARE(support::readFile(Work + "/a.txt"), QByteArray("text edited"));
        QVERIFY(!QFile::exists(Work + "/a.txt.txt"));
        const QList<QJsonObject> edits = support::readJsonLines("/tmp/lirro-device/text_editor.log");
        QVERIFY(!edits.isEmpty() && edits.last().value("args").toArray().first() == Work + "/a.txt.txt");

        // Each file in its window, as the device's owner sees it; Back closes it.
        const QStringList windows{"Program output", "data.bin", "main.c", "note.xml", "run.sh"};
        for (const QString& window : windows) {
            QVERIFY(device.key("Down") && choose(device, 1));
            QVERIFY2(device.waitForWindow(window), qPrintable(window));
            VERIFY_PANEL(device, "viewed");
            if (window == "main.c") {
                // The search pattern typed on the device's keyboard; the
                // match turns white on black on the panel.
                const int before = darkPixels(device.panelImage());
                QVERIFY(device.menu({}) && device.waitForWindow("Enter regexp for highlighting"));
                QVERIFY(device.type("needle") && device.keys({"Up", "Up", "Left", "Return"}));
                QVERIFY(device.waitForWindow("Enter regexp for highlighting", false));
                VERIFY_PANEL(device, "highlighted");
                QVERIFY(darkPixels(device.panelImage()) > before + 200);
            }
            QVERIFY(device.key("Escape") && device.waitForWindow(window, false));
            VERIFY_PANEL(device, "closed");
        }
    }

    void rotate()
    {
        // From the last row, run.sh, in its viewer.
        QVERIFY(choose(device, 1) && device.waitForWindow("run.sh"));
        QVERIFY(device.menu({"Down", "Down", "Down"}) && device.waitForWindow("Screen Rotation"));
        VERIFY_PANEL(device, "rotation dialog");

        // Right: a quarter turn; the device starts lirro again on the turned
        // screen. The dialog flashed the screen (GC) as it opened and sent
        // it once more (GU) when answered, each waited for.
        QVERIFY(device.key("Right") && device.waitForRestart());
        QStringList waited;
        for (const QJsonObject& c : device.log("screen-service"))
            if (c.value("wait").toInt() == 3)
                waited << c.value("waveform").toString();
        QCOMPARE(waited, QStringList({"GC", "GU"}));
        QCOMPARE(support::readFile("/root/Settings/screen"),
                 QByteArray("export QWS_DISPLAY=Transformed:Rot90:VexaScreen:/dev/mem"));
        QTRY_VERIFY(device.logged("system-manager", {{"signal", "screenRotated"}, {"args", QJsonArray{90}}}));
        QVERIFY(device.waitForTitle(Flash));
        VERIFY_PANEL(device, "turned");
        QCOMPARE(device.framebufferImage().size(), QSize(800, 600));
        QCOMPARE(device.panelImage().size(), QSize(600, 800));
        QCOMPARE(device.stats().value("rotation").toInt(), 90);

        // A tap on the panel lands where the turned screen shows it: the
        // first directory's row, at the panel's left edge near the bottom.
        QVERIFY(device.input("double 90 700"));
        QVERIFY2(device.waitForTitle(Work), qPrintable(device.title()));
    }
};

QTEST_MAIN(ViewerEndToEnd)
#include "tst_viewer_e2e.moc"
