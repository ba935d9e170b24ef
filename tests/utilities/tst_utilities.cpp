// The device chores as the owner reaches them through the main window: the
// two dialogs with their keys and taps, what they store and send, moving
// fonts and dictionaries, the boot splash on the boot medium, cleaning the
// recent documents and the About text.

#include "app/mainwindow.h"
#include "platform/cms/contentmanager.h"
#include "platform/sys/sysstatus.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/sql.h"
#include "utilities/service_select_dialog.h"
#include "utilities/splash.h"

#include <QAbstractSpinBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QImage>
#include <QJsonArray>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {

const QString ConfigDb = QStringLiteral("/root/system_config.db");
const QString ContentDb = QStringLiteral("/root/content.db");
const QString Medium = QStringLiteral("/dev/mmcblk0");
const qint64 SplashOffset = 1048576;
const QString RebootLog = QStringLiteral("/tmp/stubs/reboot.log");

// Keys and taps on a dialog's focused widget: U D L R the arrows, K Return,
// E Escape; < > | a tap on the left end, the right end or the middle.
// A picture of w x h pixels, row after row.
QImage picture(int w, int h, const QVector<QRgb>& pixels)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % w, i / w, pixels.at(i));
    return image;
}

QRgb grey(int level)
{
    return qRgb(level, level, level);
}

void operate(QDialog* dialog, const QString& steps)
{
    static const QMap<QChar, Qt::Key> keys{ { 'U', Qt::Key_Up }, { 'D', Qt::Key_Down },
                                            { 'L', Qt::Key_Left }, { 'R', Qt::Key_Right },
                                            { 'K', Qt::Key_Return }, { 'E', Qt::Key_Escape } };
    // Return and Escape are the window's shortcuts: it must hold the keys.
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    for (const QChar step : steps) {
        QWidget* focus = dialog->focusWidget();
        if (keys.contains(step) && step != 'K' && step != 'E')
            QTest::keyRelease(focus, keys.value(step));
        else if (keys.contains(step))
            QTest::keyClick(focus, keys.value(step));
        else
            QTest::mousePress(focus, Qt::LeftButton, {},
                              QPoint(QString("<|>").indexOf(step) * (focus->width() - 2) / 2 + 1,
                                     focus->height() / 2));
    }
}

} // namespace

class TestUtilities : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;
    MainWindow* window = nullptr;

    QStringList callsSince(int first)
    {
        QStringList result;
        const QList<QJsonObject> calls = systemManager.calls();
        for (int i = first; i < calls.size(); ++i) {
            QStringList args;
            for (const QJsonValue& arg : calls.at(i).value("args").toArray())
                args << arg.toVariant().toString();
            result << calls.at(i).value("method").toString() + "(" + args.join(",") + ")";
        }
        return result;
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(systemManager.start());
        // A reboot that only says it was asked for.
        QVERIFY(support::writeFile("/tmp/stubs/reboot", "#!/bin/sh\necho reboot >>" +
                                   RebootLog.toLatin1() + "\n", 0755));
        qputenv("PATH", "/tmp/stubs:" + qgetenv("PATH"));
        qputenv("LANG", "ru_RU.UTF-8");
        window = new MainWindow;
    }

    void cleanupTestCase() { delete window; }

    void intervals_data()
    {
        QTest::addColumn<int>("suspend");
        QTest::addColumn<int>("shutdown");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QStringList>("calls");
        const int Minute = 60000;
        QTest::newRow("nothing stored") << -1 << -1 << "K" << "5 min|disable"
            << QStringList{ "setSuspendInterval(300000)", "setShutdownInterval(0)" };
        QTest::newRow("minute and a half") << 90000 << 0 << "K" << "1 min|disable"
            << QStringList{ "setSuspendInterval(60000)", "setShutdownInterval(0)" };
        QTest::newRow("negative, above 999") << -5 << 1000 * Minute << "K" << "disable|999 min"
            << QStringList{ "setSuspendInterval(0)", "setShutdownInterval(59940000)" };
        QTest::newRow("wrap both ways") << 999 * Minute << 0 << "URDK" << "disable|999 min"
            << QStringList{ "setSuspendInterval(0)", "setShutdownInterval(59940000)" };
        QTest::newRow("taps on the ends") << 5 * Minute << 5 * Minute << "<<|L>K" << "7 min|4 min"
            << QStringList{ "setSuspendInterval(420000)", "setShutdownInterval(240000)" };
        QTest::newRow("escape") << 5 * Minute << 0 << "UUE" << "7 min|disable" << QStringList();
    }

    void intervals()
    {
        QFETCH(int, suspend);
        QFETCH(int, shutdown);
        QFETCH(QString, steps);
        QFile::remove(ConfigDb);
        qunsetenv("SUSPEND_INTERVAL");
        if (suspend != -1) {
            sys::SystemConfig config;
            QVERIFY(config.setSuspendInterval(suspend) && config.setShutdownInterval(shutdown));
        }
        const QStringList stored = support::sqlRows(ConfigDb, "select * from power_management");
        const int before = systemManager.calls().size();
        support::ModalDriver driver;
        QString shown;
        driver.actions << [&](QDialog* dialog) {
            const QList<QAbstractSpinBox*> boxes = dialog->findChildren<QAbstractSpinBox*>();
            operate(dialog, steps.chopped(1));
            shown = boxes.at(0)->text() + "|" + boxes.at(1)->text();
            operate(dialog, steps.right(1));
        };
        window->setSSTimes();
        QCOMPARE(driver.seen.value(0).title, QStringLiteral("Set time intervals"));
        QTEST(shown, "shown");
        QTEST(callsSince(before), "calls");
        QFETCH(QStringList, calls);
        const QStringList rows = support::sqlRows(
            ConfigDb, "select value from power_management order by key desc");
        if (calls.isEmpty())
            QCOMPARE(support::sqlRows(ConfigDb, "select * from power_management"), stored);
        else
            QCOMPARE(rows.join(","), calls.join(",").remove(QRegularExpression("[^0-9,]")));
    }

    void bindings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("txt");
        QTest::newRow("nothing stored") << "" << "" << "txt" << "vexa_reader";
        QTest::newRow("unknown stored") << "com.example.other" << "" << "txt" << "vexa_reader";
        QTest::newRow("editor stored") << "com.vexa.service.text_editor" << "" << "txt"
                                       << "text_editor";
        QTest::newRow("up from the first") << "" << "U" << "txt" << "office_viewer";
        QTest::newRow("down from the last") << "com.vexa.service.office_viewer" << "D" << "txt"
                                            << "vexa_reader";
        QTest::newRow("rtf has one") << "" << "RUD" << "rtf" << "vexa_reader";
        QTest::newRow("left wraps") << "" << "LDLL" << "txt" << "vexa_reader";
        QTest::newRow("right wraps") << "" << "RRRU" << "txt" << "office_viewer";
    }

    void bindings()
    {
        QFETCH(QString, stored);
        QFETCH(QString, txt);
        QFile::remove(ConfigDb);
        sys::SystemConfig().close();
        if (!stored.isEmpty())
            support::sqlRows(ConfigDb, "insert into services (extension, service) values "
                                       "('txt', ?)", { stored });
        {
            SERVICE_SELECT_DIALOG dialog(window);
            dialog.show();
            QFETCH(QString, steps);
            operate(&dialog, steps);
            QTEST(dialog.focusWidget()->property("title").toString(), "focused");
            const QStringList names{ "vexa_reader", "text_editor", "office_viewer" };
            for (QGroupBox* selector : dialog.findChildren<QGroupBox*>()) {
                const QList<QRadioButton*> buttons = selector->findChildren<QRadioButton*>();
                QCOMPARE(buttons.size(), selector->title() == "txt" ? 3 : 1);
                for (int i = 0; i < buttons.size(); ++i)
                    QCOMPARE(buttons.at(i)->isChecked(),
                             names.at(i) == (selector->title() == "txt" ? txt : "vexa_reader"));
            }
            dialog.save();
        }
        const QString row("%1|com.vexa.service.%2|/com/vexa/object/%2|com.vexa.interface.%2|open|%2");
        QCOMPARE(support::sqlRows(ConfigDb, "select * from services order by extension"),
                 QStringList({ row.arg("mobi", "vexa_reader"), row.arg("rtf", "vexa_reader"),
                               row.arg("txt", txt) }));
    }

    void moveFonts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("moved");
        const QString odd = "/tmp/sys fonts'$(touch /tmp/pwned)'";
        const QString sources = "/media/flash/fonts and /media/sd/fonts";
        const QString question = "Moving files/dirs|All files in directories " + sources
                                 + " will be moved to " + odd + ".\nDirectories will be deleted.";
        QTest::newRow("FONT_DIR unset") << "fonts" << "" << QStringList{ "flash" } << 0
            << QStringList{ "Error!|Destination directory  does not exist" } << false;
        QTest::newRow("no sources") << "fonts" << odd << QStringList() << 0
            << QStringList{ "Error!|Source directories " + sources + " do not exist" } << false;
        QTest::newRow("into a source") << "fonts" << "/media/flash/fonts/new" << QStringList{ "flash" }
            << 0 << QStringList{ "Error!|Can't move /media/flash/fonts into /media/flash/fonts/new" }
            << false;
        QTest::newRow("answered No") << "fonts" << odd << QStringList{ "flash", "sd" }
            << int(QMessageBox::No) << QStringList{ question } << false;
        QTest::newRow("moved") << "fonts" << odd << QStringList{ "flash", "sd" }
            << int(QMessageBox::Yes) << QStringList{ question } << true;
        QTest::newRow("dicts from the SD card") << "dicts" << "/usr/share/dicts" << QStringList{ "sd" }
            << int(QMessageBox::Yes) << QStringList{ "Moving files/dirs|All files in directories "
                   "/media/flash/dicts and /media/sd/dicts will be moved to /usr/share/dicts/." }
            << true;
        QTest::newRow("destination full") << "fonts" << "/tmp/full" << QStringList{ "flash", "sd" }
            << int(QMessageBox::Yes) << QStringList{ "Moving files/dirs|",
                   "Error!|Moving to /tmp/full stopped; nothing was removed before its copy was "
                   "complete.\n/media/flash/fonts/sub/flash.ttf: No space left on device" }
            << false;
    }

    void moveFonts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, destination);
        QFETCH(QStringList, sources);
        QFETCH(bool, moved);
        QDir("/media/flash/" + kind).removeRecursively();
        QDir("/media/sd/" + kind).removeRecursively();
        for (const QString& medium : sources) {
            const QString dir = "/media/" + medium + "/" + kind;
            QVERIFY(support::writeFile(dir + "/sub/" + medium + ".ttf", QByteArray(100000, 'f')));
            QVERIFY(support::writeFile(dir + "/." + medium, medium.toLatin1()));
        }
        // Emptied: the system area's directory is a mount point.
        // Emptied (mount points stay); never QDir("").
        for (const QString& path : { destination, QStringLiteral("/usr/share/dicts") })
            QVERIFY(path.isEmpty() || (QDir(path).removeRecursively(), QDir().mkpath(path)));
        if (destination == "/tmp/full")
            QVERIFY(support::mountTmpfs(destination, "64k"));
        QFile::remove(RebootLog);
        const auto before = support::treeOf("/media");
        qputenv("FONT_DIR", destination.toLocal8Bit());
        if (destination.isEmpty())
            qunsetenv("FONT_DIR");
        QFETCH(int, answer);
        support::ModalDriver driver({ QMessageBox::StandardButton(answer), QMessageBox::Ok });
        if (kind == "fonts")
            window->moveFonts();
        else
            window->moveDicts();
        QFETCH(QStringList, boxes);
        QCOMPARE(driver.seen.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i) {
            const QString seen = driver.seen.at(i).title + "|" + driver.seen.at(i).text;
            QVERIFY2(seen.startsWith(boxes.at(i)), qPrintable(seen));
        }
        // A value never runs as a command; a source goes only when all of it
        // is in place.
        QVERIFY(!QFile::exists("/tmp/pwned"));
        QCOMPARE(QFile::exists(RebootLog), moved);
        QCOMPARE(support::readFile("/root/Settings/language"),
                 moved ? "export LANG=ru_RU.UTF-8" : "export LANG=en_US.UTF-8");
        if (!moved) {
            QCOMPARE(support::treeOf("/media"), before);
            return;
        }
        for (const QString& medium : sources) {
            QVERIFY(!QFile::exists("/media/" + medium + "/" + kind));
            QCOMPARE(support::readFile(destination + "/." + medium), medium.toLatin1());
            QCOMPARE(support::readFile(destination + "/sub/" + medium + ".ttf").size(), 100000);
        }
    }

    void splashBytes_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QByteArray>("bytes");
        // Column 0 reads 10 20 30 down, column 1 40 50 60: turned a quarter
        // clockwise each becomes a row read upwards, 10 ... 60 stretched to
        // 0 ... 255.
        const QVector<QRgb> upright{ grey(10), grey(40), grey(20), grey(50), grey(30), grey(60) };
        const QByteArray turned("\x66\x33\x00\xff\xcc\x99", 6);
        const QRgb w = grey(255);
        QTest::newRow("upright") << QSize(2, 3) << picture(2, 3, upright) << turned;
        QTest::newRow("landscape screen") << QSize(3, 2) << picture(2, 3, upright) << turned;
        QTest::newRow("wide: sides cut") << QSize(2, 3)
            << picture(4, 3, { w, grey(10), grey(40), w, w, grey(20), grey(50), w,
                               w, grey(30), grey(60), w }) << turned;
        QTest::newRow("tall: top and bottom cut") << QSize(2, 3)
            << picture(2, 5, QVector<QRgb>{ w, w } + upright + QVector<QRgb>{ qRgb(0, 0, 0), 0 })
            << turned;
        // Grey is (11 red + 16 green + 5 blue) / 32: 87, 127 and 39 here.
        QTest::newRow("colours") << QSize(1, 3)
            << picture(1, 3, { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255) })
            << QByteArray("\x00\xff\x8b", 3);
        QTest::newRow("one grey") << QSize(1, 3) << picture(1, 3, { grey(77), grey(77), grey(77) })
                                  << QByteArray(3, 77);
    }

    void splashBytes()
    {
        QFETCH(QSize, screen);
        QFETCH(QImage, image);
        QTEST(utilities::splashBytes(image, screen), "bytes");
    }

    void loadSplashImage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("loaded");
        const auto pgm = [](int w, int h) {
            return QByteArray("P5\n") + QByteArray::number(w) + ' ' + QByteArray::number(h)
                   + "\n255\n" + QByteArray(w * h, 'x');
        };
        QTest::newRow("8388608 pixels") << "/tmp/a.pgm" << pgm(4096, 2048) << true;
        QTest::newRow("one more row") << "/tmp/b.pgm" << pgm(4096, 2049) << false;
        QTest::newRow("not a picture") << "/tmp/c.png" << QByteArray("text") << false;
        QTest::newRow("a directory") << "/tmp" << QByteArray() << false;
    }

    void loadSplashImage()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, data);
        QVERIFY(data.isEmpty() || support::writeFile(path, data));
        QImage image;
        QTEST(utilities::loadSplashImage(path, image), "loaded");
    }

    void splashOnTheBootMedium_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("message");
        QTest::newRow("landscape") << QSize(800, 600) << "";
        QTest::newRow("too big") << QSize(4096, 2049) << "Error!|Can't load image /tmp/splash.png";
    }

    void splashOnTheBootMedium()
    {
        QFETCH(QSize, size);
        // Left half black, right half white.
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (int y = 0; y < size.height(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)), size.width() / 2, qRgb(0, 0, 0));
        QVERIFY(image.save("/tmp/splash.png"));
        const QByteArray medium(16 << 20, char(0xa5));
        QVERIFY(support::writeFile(Medium, medium));
        support::ModalDriver driver({ QMessageBox::Ok });
        driver.actions << [](QDialog* dialog) {
            static_cast<QFileDialog*>(dialog)->selectFile("/tmp/splash.png");
            dialog->accept();
        };
        window->setSplash();
        QFETCH(QString, message);
        QCOMPARE(driver.seen.size(), message.isEmpty() ? 1 : 2);
        QCOMPARE(driver.seen.at(0).title, QStringLiteral("Select image for splash (dangerous!)"));
        if (!message.isEmpty()) {
            QCOMPARE(driver.seen.at(1).title + "|" + driver.seen.at(1).text, message);
            QCOMPARE(support::readFile(Medium), medium);
            return;
        }
        // The centre 450 x 600 fills the 600 x 800 screen, the boundary in
        // its middle: turned, the first rows are black, the last white.
        const QByteArray written = support::readFile(Medium);
        QCOMPARE(written.size(), medium.size());
        QCOMPARE(written.left(SplashOffset), medium.left(SplashOffset));
        QCOMPARE(written.mid(SplashOffset + 480000), medium.mid(SplashOffset + 480000));
        const QByteArray splash = written.mid(SplashOffset, 480000);
        QCOMPARE(splash, utilities::splashBytes(image, QSize(800, 600)));
        QCOMPARE(splash.mid(290 * 800, 800), QByteArray(800, 0));
        QCOMPARE(splash.mid(310 * 800, 800), QByteArray(800, char(255)));
        QVERIFY(!QFile::exists("/tmp/boot_splash.bin"));
    }

    void cleanDocs_data()
    {
        QTest::addColumn<QStringList>("records"); // id, file, last access
        QTest::addColumn<QVariantList>("members");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("remaining");
        const int yes = QMessageBox::Yes;
        const QString a = "|/media/flash/a.txt|2012-11-0";
        const QString cleaned = "'Recent Documents' are cleaned|Total number of entries: ";
        QTest::newRow("three entries of a file") << QStringList{ "1" + a + "1", "2" + a + "3", "3" + a + "2" }
            << QVariantList{ 1, 2, 3 } << yes << "" << cleaned + "3\nNumber of removed entries: 2"
            << QStringList{ "2" };
        QTest::newRow("file gone") << QStringList{ "1|/media/flash/gone.txt|2012", "2" + a + "1" }
            << QVariantList{ 1, 2 } << yes << "" << cleaned + "2\nNumber of removed entries: 1"
            << QStringList{ "2" };
        QTest::newRow("SD card kept") << QStringList{ "1|/media/sd/b.txt|2012" } << QVariantList{ 1 }
            << yes << "" << cleaned + "1\nNumber of removed entries: 0" << QStringList{ "1" };
        QTest::newRow("SD card too") << QStringList{ "1|/media/sd/b.txt|2012" } << QVariantList{ 1 }
            << int(QMessageBox::No) << "" << cleaned + "1\nNumber of removed entries: 1"
            << QStringList();
        QTest::newRow("member without record") << QStringList{ "1" + a + "1", "2" + a + "2" }
            << QVariantList{ 1, 99, 2 } << yes << "" << cleaned + "3\nNumber of removed entries: 1"
            << QStringList{ "2" };
        QTest::newRow("cancel") << QStringList{ "1|/gone|2012" } << QVariantList{ 1 }
            << int(QMessageBox::Cancel) << "" << "" << QStringList{ "1" };
        QTest::newRow("another writer") << QStringList{ "1|/media/flash/gone.txt|2012" } << QVariantList{ 1 } << yes
            << "locked" << "Error!|Total number of entries: 1\nNumber of removed entries: 0\nThe "
            "documents database refused a change" << QStringList{ "1" };
        const QString unopened = "Error!|Can't open the documents database /root/content.db\n";
        QTest::newRow("damaged") << QStringList() << QVariantList() << yes << "damaged" << unopened
                                 << QStringList();
        QTest::newRow("missing") << QStringList() << QVariantList() << yes << "missing"
                                 << unopened + "No such file" << QStringList();
    }

    void cleanDocs()
    {
        QFETCH(QStringList, records);
        QFETCH(QVariantList, members);
        QFETCH(QString, database);
        QVERIFY(support::writeFile("/media/flash/a.txt", "a"));
        QFile::remove(ContentDb);
        if (database == "damaged")
            QVERIFY(support::writeFile(ContentDb, QByteArray(2048, 'x')));
        if (database.isEmpty() || database == "locked")
            QVERIFY(cms::ContentManager().open(ContentDb));
        for (const QString& record : records) {
            const QStringList f = record.split('|');
            support::sqlRows(ContentDb, "insert into content (id, name, location, last_access) "
                             "values (?, ?, ?, ?)", { f[0], QFileInfo(f[1]).fileName(),
                                                      QFileInfo(f[1]).path(), f[2] });
        }
        for (const QVariant& id : members)
            support::sqlRows(ContentDb, "insert into content_category (content_id, category_id) "
                                        "values (?, 3)", { id });
        const QByteArray before = support::readFile(ContentDb);
        QList<support::ModalSeen> seen;
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(ContentDb);
            if (database == "locked")
                QVERIFY(other.open() && QSqlQuery(other).exec("begin immediate"));
            QFETCH(int, answer);
            support::ModalDriver driver({ QMessageBox::StandardButton(answer), QMessageBox::Ok });
            window->cleanDocs();
            seen = driver.seen;
        }
        QSqlDatabase::removeDatabase("other");
        QFETCH(QString, message);
        QCOMPARE(seen.size(), message.isEmpty() ? 1 : 2);
        QCOMPARE(seen.at(0).title, QStringLiteral("Exclude documents on SD-card?"));
        if (!message.isEmpty()) {
            const QString shown = seen.at(1).title + "|" + seen.at(1).text;
            QVERIFY2(shown.startsWith(message), qPrintable(shown));
        }
        if (database == "damaged" || database == "missing")
            QCOMPARE(support::readFile(ContentDb), before);
        else
            QTEST(support::sqlRows(ContentDb, "select id from content order by id"), "remaining");
    }

    void about_data()
    {
        QTest::addColumn<bool>("wifi");
        QTest::newRow("offline") << false;
        QTest::newRow("on Wi-Fi") << true;
    }

    void about()
    {
        QFETCH(bool, wifi);
        const auto ip = [](const QString& arguments) {
            return QProcess::execute("ip", arguments.split(' ')) == 0;
        };
        if (wifi)
            QVERIFY(ip("link add eth0 type veth peer name peer0") && ip("link set peer0 up")
                    && ip("addr add 192.0.2.7/24 dev eth0") && ip("link set eth0 up"));
        // The kernel reports the link up a moment later.
        QTRY_COMPARE(sys::SysStatus::instance().currentConnection().isEmpty(), !wifi);
        support::ModalDriver driver;
        window->showAbout();
        if (wifi)
            ip("link del eth0");
        QCOMPARE(driver.seen.size(), 1);
        QCOMPARE(driver.seen.at(0).title, QStringLiteral("About tiny file manager for Vexa Pell Q27"));
        const QString text = driver.seen.at(0).text;
        const QString serial = support::sqlRows(ConfigDb, "select value from device_conf "
                                                          "where key = 'serial_number'").value(0);
        QVERIFY(serial.startsWith('{'));
        for (const QString& line : { "Serial number: " + serial + '\n',
                                     QStringLiteral("Battery level: 80%\n"),
                                     "           Qt: v." + QString(qVersion()) + '\n',
                                     QStringLiteral("  Disks usage:\nFilesystem ") })
            QVERIFY2(text.contains(line), qPrintable(line));
        QCOMPARE(text.contains("wlan0     Link encap"), wifi);
        QCOMPARE(text.contains("ESSID:\"HomeNetwork\""), wifi);
    }
};

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
