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
#include <QPainter>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString ContentDb = QStringLiteral("/root/content.db");
const int SplashOffset = 1048576;
const int MediumSize = 16 << 20;

// The entry this many Downs from the first of the menu this many Rights from
// File (which Menu opens while nothing is selected).
bool command(DeviceSession& device, int rights, int downs)
{
    return device.menu(DeviceSession::repeated("Right", rights) + DeviceSession::repeated("Down", downs));
}

// The system manager's calls but setSystemBusy, with their first argument.
QStringList calls(DeviceSession& device)
{
    QStringList result;
    for (const QJsonObject& call : device.log("system-manager")) {
        if (call.value("method") != "setSystemBusy")
            result << call.value("method").toString() + QString::number(call.value("args")[0].toInt());
    }
    return result;
}

} // namespace

class UtilitiesEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { REQUIRE_SANDBOX(); }

    void timesSplashCleanAbout()
    {
        // A picture left half black, right half white; two entries of one
        // file and one of a file that is gone in "Recent documents".
        QImage picture(800, 600, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter(&picture).fillRect(0, 0, 400, 600, Qt::black);
        QVERIFY(picture.save(Flash + "/pictures/splash.png") && cms::ContentManager().open(ContentDb));
        support::sqlRows(ContentDb, "insert into content (id, name, location, last_access) values (1, 'README.txt', "
                                    "'/media/flash', '2012-01'), (2, 'README.txt', '/media/flash', '2012-02'), "
                                    "(3, 'gone.txt', '/media/flash', '2012')");
        support::sqlRows(ContentDb, "insert into content_category (content_id, category_id) values (1, 3), (2, 3), (3, 3)");
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));

        // 5 minutes and "disable" to 7 and 999.
        QVERIFY(command(device, 2, 3) && device.waitForWindow("Set time intervals"));
        QVERIFY(device.keys({ "Up", "Up", "Right", "Down" }));
        VERIFY_PANEL(device, "7 min and 999 min");
        QVERIFY(device.key("Return") && device.waitForWindow("Set time intervals", false));
        VERIFY_PANEL(device, "time intervals set");
        QCOMPARE(calls(device), QStringList({ "setSuspendInterval420000", "setShutdownInterval59940000" }));

        // The picture's name typed into the chooser; its middle on the boot
        // medium, turned: the first rows black, the last white; nothing else
        // of the medium changed.
        QVERIFY(command(device, 2, 5) && device.waitForWindow("Select image for splash (dangerous!)"));
        QVERIFY(device.type("pictures/splash.png") && device.key("Return"));
        QVERIFY(device.waitForWindow("Select image for splash (dangerous!)", false));
        VERIFY_PANEL(device, "splash written");
        const QByteArray medium = support::readFile("/dev/mmcblk0");
        QCOMPARE(medium.left(SplashOffset + 290 * 800 + 800), QByteArray(SplashOffset + 290 * 800 + 800, 0));
        QCOMPARE(medium.mid(SplashOffset + 310 * 800, 290 * 800), QByteArray(290 * 800, char(255)));
        QCOMPARE(medium.mid(SplashOffset + 480000), QByteArray(MediumSize - SplashOffset - 480000, 0));

        // Yes: the internal flash only; the older entry and the gone file go.
        // (The answer's title has quotes, beyond the harness's name search.)
        QVERIFY(command(device, 2, 6) && device.waitForWindow("Exclude documents on SD-card?"));
        QVERIFY(device.key("Return") && device.waitForWindow("Exclude documents on SD-card?", false));
        QVERIFY(device.waitForOtherWindows(1));
        VERIFY_PANEL(device, "recent documents cleaned");
        QCOMPARE(support::sqlRows(ContentDb, "select id from content"), QStringList{ "2" });
        QVERIFY(device.key("Return") && device.waitForOtherWindows(0));

        QVERIFY(command(device, 3, 1) && device.waitForWindow("About tiny file manager for Vexa Pell Q27"));
        VERIFY_PANEL(device, "About");
        QCOMPARE(calls(device).last(), QStringLiteral("batteryStatus0"));
        QVERIFY(device.key("Escape") && device.waitForWindow("About tiny file manager for Vexa Pell Q27", false));
        VERIFY_PANEL(device, "About closed");
    }

    void reboots_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("left"); // the bindings, or the system area's fonts
        // "txt" to Office Reader; "rtf" has only FBReader.
        QTest::newRow("bindings") << 4 << "Set additional file-program bindings" << QStringList{ "Up", "Right", "Down" }
                                  << "mobi|vexa_reader rtf|vexa_reader txt|office_viewer";
        QTest::newRow("fonts") << 0 << "Moving files/dirs" << QStringList() << "a.ttf:A c.ttf:C more/: more/b.ttf:B";
    }

    void reboots()
    {
        QFETCH(int, entry);
        QFETCH(QString, window);
        QFETCH(QStringList, keys);
        QFile::remove("/tmp/lirro-device/reboot.log");
        QVERIFY(support::writeFile(Flash + "/fonts/a.ttf", "A") && support::writeFile(Flash + "/fonts/more/b.ttf", "B")
                && support::writeFile("/media/sd/fonts/c.ttf", "C"));
        DeviceSession device;
        QVERIFY(device.start() && device.waitForTitle(Flash));
        QVERIFY(command(device, 2, entry) && device.waitForWindow(window) && device.keys(keys));
        VERIFY_PANEL(device, "before the reboot");
        // The reboot may take the X server before the key's release is sent.
        device.key("Return");
        int status = -1;
        QVERIFY(device.waitForExit(&status));
        QCOMPARE(support::readJsonLines("/tmp/lirro-device/reboot.log").size(), 1);
        QStringList left = entry ? support::sqlRows("/root/system_config.db", "select extension, app from services")
                                 : QStringList();
        const auto fonts = support::treeOf("/opt/vexa/fonts");
        for (auto font = fonts.begin(); font != fonts.end(); ++font)
            left << font.key() + ':' + font.value();
        left.sort();
        QTEST(left.join(' '), "left");
        QCOMPARE(QFile::exists(Flash + "/fonts") && QFile::exists("/media/sd/fonts"), entry != 0);
    }
};

QTEST_MAIN(UtilitiesEndToEnd)
#include "tst_utilities_e2e.moc"
