// The Device menu's chores on the emulated device, by its keys: what each
// leaves in the system manager's log, the databases, the boot medium and the
// system area, and the two that end in a reboot.

#include "e2e/devicesession.h"
#include "platform/cms/contentmanager.h"
#include "support/files.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/sql.h"

#include <QImage>
#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString ContentDb = QStringLiteral("/root/content.db");
const QString RebootLog = QStringLiteral("/tmp/lirro-device/reboot.log");
const int SplashOffset = 1048576;
const int SplashSize = 480000;

// The entry of the Device menu this many Downs from its first, with nothing
// selected (Menu opens File, Right twice reaches Device).
bool deviceCommand(DeviceSession& device, int downs)
{
    QStringList keys{ "Right", "Right" };
    for (int i = 0; i < downs; ++i)
        keys << QStringLiteral("Down");
    return device.key("Menu") && device.waitForOtherWindows(1) && device.keys(keys << "Return");
}

QStringList calls(DeviceSession& device, const QString& method)
{
    QStringList result;
    for (const QJsonObject& call : device.log("system-manager")) {
        if (call.value("method").toString() == method)
            result << QString::number(call.value("args").toArray().at(0).toInt());
    }
    return result;
}

} // namespace

class UtilitiesEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        REQUIRE_SANDBOX();
        QFile::remove(RebootLog);
    }

    void timesSplashCleanAbout()
    {
        // A picture left half black, right half white; two entries of one
        // file and one of a file that is gone in "Recent documents".
        QImage picture(800, 600, QImage::Format_RGB32);
        picture.fill(Qt::white);
        for (int y = 0; y < 600; ++y)
            std::fill_n(reinterpret_cast<QRgb*>(picture.scanLine(y)), 400, qRgb(0, 0, 0));
        QVERIFY(picture.save(Flash + "/pictures/splash.png"));
        QVERIFY(cms::ContentManager().open(ContentDb));
        support::sqlRows(ContentDb, "insert into content (id, name, location, last_access) values "
                                    "(1, 'README.txt', '/media/flash', '2012-01-01 10:00:00'), "
                                    "(2, 'README.txt', '/media/flash', '2012-02-01 10:00:00'), "
                                    "(3, 'gone.txt', '/media/flash', '2012')");
        support::sqlRows(ContentDb, "insert into content_category (content_id, category_id) "
                                    "values (1, 3), (2, 3), (3, 3)");
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));

        // 5 minutes and "disable" to 7 and 999.
        QVERIFY(deviceCommand(device, 3) && device.waitForWindow("Set time intervals"));
        VERIFY_PANEL(device, "time intervals");
        QVERIFY(device.keys({ "Up", "Up", "Right", "Down" }));
        VERIFY_PANEL(device, "7 min and 999 min");
        QVERIFY(device.key("Return") && device.waitForWindow("Set time intervals", false));
        VERIFY_PANEL(device, "time intervals set");
        QCOMPARE(calls(device, "setSuspendInterval"), QStringList{ "420000" });
        QCOMPARE(calls(device, "setShutdownInterval"), QStringList{ "59940000" });

        // The picture's name typed into the chooser; its middle on the boot
        // medium, turned: the first rows black, the last white.
        QVERIFY(deviceCommand(device, 5));
        QVERIFY(device.waitForWindow("Select image for splash (dangerous!)"));
        QVERIFY(device.type("pictures/splash.png") && device.key("Return"));
        QVERIFY(device.waitForWindow("Select image for splash (dangerous!)", false));
        VERIFY_PANEL(device, "splash written");
        const QByteArray medium = support::readFile("/dev/mmcblk0");
        QCOMPARE(medium.size(), 16 << 20);
        QCOMPARE(medium.left(SplashOffset), QByteArray(SplashOffset, 0));
        QCOMPARE(medium.mid(SplashOffset + 290 * 800, 800), QByteArray(800, 0));
        QCOMPARE(medium.mid(SplashOffset + 310 * 800, 800), QByteArray(800, char(255)));
        QCOMPARE(medium.mid(SplashOffset + SplashSize), QByteArray((16 << 20) - SplashOffset - SplashSize, 0));

        // Yes: the internal flash only; the older entry and the gone file go.
        QVERIFY(deviceCommand(device, 6) && device.waitForWindow("Exclude documents on SD-card?"));
        // (Its title's quotes are beyond the harness's name search.)
        QVERIFY(device.key("Return") && device.waitForWindow("Exclude documents on SD-card?", false));
        QVERIFY(device.waitForOtherWindows(1));
        VERIFY_PANEL(device, "recent documents cleaned");
        QCOMPARE(support::sqlRows(ContentDb, "select id from content"), QStringList{ "2" });
        QVERIFY(device.key("Return") && device.waitForOtherWindows(0));

        QVERIFY(device.key("Menu") && device.waitForOtherWindows(1));
        QVERIFY(device.keys({ "Right", "Right", "Right", "Down", "Return" }));
        QVERIFY(device.waitForWindow("About tiny file manager for Vexa Pell Q27"));
        VERIFY_PANEL(device, "About");
        QCOMPARE(calls(device, "batteryStatus").size(), 1);
        QVERIFY(device.key("Escape"));
        QVERIFY(device.waitForWindow("About tiny file manager for Vexa Pell Q27", false));
        VERIFY_PANEL(device, "About closed");
    }

    void bindingsReboot()
    {
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));
        QVERIFY(deviceCommand(device, 4));
        QVERIFY(device.waitForWindow("Set additional file-program bindings"));
        VERIFY_PANEL(device, "bindings");
        // "txt" to Office Reader; "rtf" has only FBReader.
        QVERIFY(device.keys({ "Up", "Right", "Down" }));
        VERIFY_PANEL(device, "txt to Office Reader, rtf in focus");
        // The reboot may take the X server before the key's release is sent.
        device.key("Return");
        int status = -1;
        QVERIFY(device.waitForExit(&status));
        QCOMPARE(support::readJsonLines(RebootLog).size(), 1);
        QCOMPARE(support::sqlRows("/root/system_config.db",
                                  "select extension, app from services order by extension"),
                 QStringList({ "mobi|vexa_reader", "rtf|vexa_reader", "txt|office_viewer" }));
    }

    void moveFontsReboot()
    {
        QVERIFY(support::writeFile(Flash + "/fonts/a.ttf", "A"));
        QVERIFY(support::writeFile(Flash + "/fonts/more/b.ttf", "B"));
        QVERIFY(support::writeFile("/media/sd/fonts/c.ttf", "C"));
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));
        QVERIFY(deviceCommand(device, 0) && device.waitForWindow("Moving files/dirs"));
        VERIFY_PANEL(device, "moving fonts asked");
        // The reboot may take the X server before the key's release is sent.
        device.key("Return");
        int status = -1;
        QVERIFY(device.waitForExit(&status));
        QCOMPARE(support::readJsonLines(RebootLog).size(), 1);
        QCOMPARE(support::treeOf("/opt/vexa/fonts"),
                 (QMap<QString, QByteArray>{ { "a.ttf", "A" }, { "more/", "" }, { "more/b.ttf", "B" },
                                             { "c.ttf", "C" } }));
        QVERIFY(!QFile::exists(Flash + "/fonts") && !QFile::exists("/media/sd/fonts"));
    }
};

QTEST_MAIN(UtilitiesEndToEnd)
#include "tst_utilities_e2e.moc"
