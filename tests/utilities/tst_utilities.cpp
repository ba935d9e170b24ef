// The device chores as the owner reaches them through the main window: the
// two dialogs with their keys and taps and what they store and send, moving
// fonts and dictionaries, the splash picture's bytes, the documents database
// and cleaning the recent documents, and the side a tap on the rotation
// dialog chooses (About is only put together: the device suite shows it).

#include "app/mainwindow.h"
#include "platform/cms/contentmanager.h"
#include "platform/sys/systemconfig.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/sql.h"
#include "utilities/screenrotationdialog.h"
#include "utilities/service_select_dialog.h"
#include "utilities/splash.h"

#include <QSqlQuery>

using ui::ScreenRotationDialog;

namespace {

const QString ConfigDb = QStringLiteral("/root/system_config.db");
const QString ContentDb = QStringLiteral("/root/content.db");
const QString RebootLog = QStringLiteral("/tmp/stubs/reboot.log");

// Keys and taps on a dialog's focused widget: U D L R the arrows (released,
// as the device reports them), K Return, E Escape; < | > a tap on the left
// end, the middle or the right end.
void operate(QDialog* dialog, const QString& steps)
{
    const Qt::Key keys[] = { Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right, Qt::Key_Return, Qt::Key_Escape };
    // Return and Escape are the window's shortcuts: it must hold the keys.
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    for (const QChar step : steps) {
        QWidget* focus = dialog->focusWidget();
        const int key = QString("UDLRKE").indexOf(step);
        if (key >= 4)
            QTest::keyClick(focus, keys[key]);
        else if (key >= 0)
            QTest::keyRelease(focus, keys[key]);
        else
            QTest::mousePress(focus, Qt::LeftButton, {},
                              QPoint(QString("<|>").indexOf(step) * (focus->width() - 2) / 2 + 1, focus->height() / 2));
    }
}

// A picture w wide, row after row: grey levels, or colours (qRgb, never below 256).
QImage picture(int w, const QVector<QRgb>& pixels)
{
    QImage image(w, pixels.size() / w, QImage::Format_RGB32);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % w, i / w, pixels.at(i) > 255 ? pixels.at(i) : qRgb(pixels[i], pixels[i], pixels[i]));
    return image;
}

// The message boxes shown, as "title|text", each cut to the length of the
// beginning expected in its place.
QStringList shown(const QList<support::ModalSeen>& seen, const QStringList& boxes)
{
    QStringList texts;
    for (int i = 0; i < seen.size(); ++i)
        texts << (seen.at(i).title + '|' + seen.at(i).text).left(boxes.value(i).size());
    return texts;
}

} // namespace

class TestUtilities : public QObject
{
    Q_OBJECT

    support::SystemManager systemManager;
    MainWindow* window = nullptr;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(systemManager.start());
        // A reboot that only says it was asked for.
        QVERIFY(support::writeFile("/tmp/stubs/reboot", "#!/bin/sh\necho >>" + RebootLog.toLatin1(), 0755));
        qputenv("PATH", "/tmp/stubs:" + qgetenv("PATH"));
        qputenv("LANG", "ru_RU.UTF-8");
        window = new MainWindow;
    }

    void cleanupTestCase() { delete window; }

    void intervals_data()
    {
        QTest::addColumn<int>("suspend"); // stored before, -1 for nothing
        QTest::addColumn<int>("shutdown");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("stored"); // after, and sent when accepted
        const int Min = 60000;
        QTest::newRow("nothing stored") << -1 << -1 << "K" << "300000,0";
        QTest::newRow("minute and a half") << 90000 << 0 << "K" << "60000,0";
        QTest::newRow("negative, above 999") << -5 << 1000 * Min << "K" << "0,59940000";
        QTest::newRow("wrap both ways") << 999 * Min << 0 << "URDK" << "0,59940000";
        QTest::newRow("taps on the ends") << 5 * Min << 5 * Min << "<<|L>K" << "420000,240000";
        QTest::newRow("escape") << 5 * Min << 0 << "UUE" << "300000,0";
    }

    void intervals()
    {
        QFETCH(int, suspend);
        QFETCH(int, shutdown);
        QFETCH(QString, steps);
        QFETCH(QString, stored);
        QFile::remove(ConfigDb);
        qunsetenv("SUSPEND_INTERVAL");
        QVERIFY(suspend == -1 || (sys::SystemConfig().setSuspendInterval(suspend) && sys::SystemConfig().setShutdownInterval(shutdown)));
        const int before = systemManager.calls().size();
        support::ModalDriver driver;
        driver.actions << [&](QDialog* dialog) { operate(dialog, steps); };
        window->setSSTimes();
        sys::SystemConfig config;
        QCOMPARE(QString("%1,%2").arg(config.suspendInterval()).arg(config.shutdownInterval()), stored);
        QStringList calls;
        for (const QJsonObject& call : systemManager.calls().mid(before))
            calls << call.value("method").toString() + QString::number(call.value("args")[0].toInt());
        QCOMPARE(calls.join(','), steps.endsWith('E') ? QString() : "setSuspendInterval" + stored.section(',', 0, 0)
                                                                    + ",setShutdownInterval" + stored.section(',', 1));
    }

    void bindings_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("txt");
        QTest::newRow("nothing stored") << "" << "" << "txt" << "vexa_reader";
        QTest::newRow("unknown stored") << "com.example.other" << "" << "txt" << "vexa_reader";
        QTest::newRow("editor stored, Up") << "com.vexa.service.text_editor" << "U" << "txt" << "vexa_reader";
        QTest::newRow("Up from the first") << "" << "U" << "txt" << "office_viewer";
        QTest::newRow("Down from the last") << "com.vexa.service.office_viewer" << "D" << "txt" << "vexa_reader";
        QTest::newRow("rtf has one; Left wraps") << "" << "RUDLLD" << "mobi" << "vexa_reader";
    }

    void bindings()
    {
        QFETCH(QString, stored);
        QFETCH(QString, txt);
        QFile::remove(ConfigDb);
        sys::SystemConfig().close();
        if (!stored.isEmpty())
            support::sqlRows(ConfigDb, "insert into services (extension, service) values ('txt', ?)", { stored });
        SERVICE_SELECT_DIALOG dialog(window);
        dialog.show();
        QFETCH(QString, steps);
        operate(&dialog, steps);
        QTEST(dialog.focusWidget()->property("title").toString(), "focused");
        dialog.save(); // and closed
        const QString row("%1|com.vexa.service.%2|/com/vexa/object/%2|com.vexa.interface.%2|open|%2");
        QCOMPARE(support::sqlRows(ConfigDb, "select * from services order by extension"),
                 QStringList({ row.arg("mobi", "vexa_reader"), row.arg("rtf", "vexa_reader"), row.arg("txt", txt) }));
    }

    void moveFonts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("boxes");
        const QString odd = "/tmp/sys fonts'$(touch /tmp/pwned)'";
        const QString asked = "Moving files/dirs|All files in directories /media/flash/";
        const QStringList both{ "flash", "sd" };
        QTest::newRow("FONT_DIR unset") << "fonts" << "" << QStringList{ "flash" } << 0
                                        << QStringList{ "Error!|Destination directory  does not exist" };
        QTest::newRow("into a source") << "fonts" << "/media/flash/fonts/new" << QStringList{ "flash" } << 0
                                       << QStringList{ "Error!|Can't move /media/flash/fonts into /media/flash/fonts/new" };
        QTest::newRow("answered No") << "fonts" << odd << both << int(QMessageBox::No) << QStringList{ asked };
        QTest::newRow("moved") << "fonts" << odd << both << int(QMessageBox::Yes) << QStringList{ asked };
        QTest::newRow("dicts from the SD card") << "dicts" << "/usr/share/dicts" << QStringList{ "sd" }
                                                << int(QMessageBox::Yes) << QStringList{ asked };
        QTest::newRow("destination full") << "fonts" << "/tmp/full" << both << int(QMessageBox::Yes)
                                          << QStringList{ asked, "Error!|Moving to /tmp/full stopped" };
    }

    void moveFonts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, destination);
        QFETCH(QStringList, sources);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        for (const QString& medium : QStringList{ "flash", "sd" }) {
            const QString dir = "/media/" + medium + "/" + kind;
            QDir(dir).removeRecursively();
            QVERIFY(!sources.contains(medium) || (support::writeFile(dir + "/sub/" + medium, QByteArray(100000, 'f'))
                                                  && support::writeFile(dir + "/." + medium, "dot")));
        }
        // Emptied (a mount point stays); never QDir("").
        QVERIFY(destination.isEmpty() || (QDir(destination).removeRecursively(), QDir().mkpath(destination)));
        QVERIFY(destination != "/tmp/full" || support::mountTmpfs(destination, "64k"));
        QFile::remove(RebootLog);
        sys::SystemConfig::setLocale(QLocale(QLocale::English, QLocale::UnitedStates)); // as the window keeps it
        const auto before = support::treeOf("/media");
        support::setEnv("FONT_DIR", destination.toLocal8Bit());
        support::ModalDriver driver({ QMessageBox::StandardButton(answer), QMessageBox::Ok });
        kind == "fonts" ? window->moveFonts() : window->moveDicts();
        QCOMPARE(shown(driver.seen, boxes), boxes);
        // No value runs as a command; a source goes only once all of it is
        // copied; the owner's language before the reboot, English without one.
        QVERIFY(!QFile::exists("/tmp/pwned"));
        const bool moved = boxes.size() == 1 && answer == QMessageBox::Yes;
        QCOMPARE(QFile::exists(RebootLog), moved);
        QCOMPARE(support::readFile("/root/Settings/language"), moved ? "export LANG=ru_RU.UTF-8" : "export LANG=en_US.UTF-8");
        QCOMPARE(support::treeOf("/media") == before, !moved);
        for (const QString& medium : sources) {
            QCOMPARE(QFile::exists("/media/" + medium + "/" + kind), !moved);
            QVERIFY(!moved || (support::readFile(destination + "/." + medium) == "dot"
                               && support::readFile(destination + "/sub/" + medium).size() == 100000));
        }
    }

    void splashBytes_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QByteArray>("bytes");
        // Column 0 reads 10 20 30 down, column 1 40 50 60: turned a quarter
        // clockwise each becomes a row read upwards, 10 ... 60 stretched to
        // 0 ... 255. Wider or taller pictures lose their sides or their top
        // and bottom. Grey is (11 red + 16 green + 5 blue) / 32.
        const QByteArray turned("\x66\x33\x00\xff\xcc\x99", 6);
        QTest::newRow("upright") << QSize(2, 3) << picture(2, { 10, 40, 20, 50, 30, 60 }) << turned;
        QTest::newRow("landscape screen") << QSize(3, 2) << picture(2, { 10, 40, 20, 50, 30, 60 }) << turned;
        QTest::newRow("wide") << QSize(2, 3) << picture(4, { 255, 10, 40, 255, 0, 20, 50, 0, 255, 30, 60, 255 }) << turned;
        QTest::newRow("tall") << QSize(2, 3) << picture(2, { 255, 255, 10, 40, 20, 50, 30, 60, 0, 0 }) << turned;
        QTest::newRow("colours: 87, 127, 39") << QSize(1, 3)
            << picture(1, { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255) }) << QByteArray("\x00\xff\x8b", 3);
        QTest::newRow("one grey") << QSize(1, 3) << picture(1, { 77, 77, 77 }) << QByteArray(3, 77);
    }

    void splashBytes()
    {
        QFETCH(QSize, screen);
        QFETCH(QImage, image);
        QTEST(utilities::splashBytes(image, screen), "bytes");
    }

    void loadSplashImage()
    {
        // At most 8388608 pixels, and a picture at all.
        QImage image;
        for (int rows : { 2048, 2049, 0 }) {
            const QString path = rows ? "/tmp/splash.pgm" : "/tmp";
            QVERIFY(!rows || support::writeFile(path, "P5\n4096 " + QByteArray::number(rows) + "\n255\n"
                                                          + QByteArray(4096 * rows, 'x')));
            QCOMPARE(utilities::loadSplashImage(path, image), rows == 2048);
        }
    }

    // The documents database as the device's readers share it: the schema
    // and the standard categories made once, a record removed with all that
    // refers to it (the recent documents' order: cleanDocs).
    void contentDatabase()
    {
        const auto sql = [](const QString& statement) { return support::sqlRows(ContentDb, statement); };
        QFile::remove(ContentDb);
        QVERIFY(cms::ContentManager().open(ContentDb));
        cms::ContentManager manager;
        QVERIFY(manager.open(ContentDb));
        QCOMPARE(sql("select group_concat(name, ' ') from (select name from sqlite_master order by name)"),
                 { "category category_category content content_bookmarks content_category content_options "
                   "content_shortcuts name_index notes" });
        QCOMPARE(sql("select group_concat(c.id || ' ' || c.title || ' ' || ifnull(l.parent_category_id, '-'), ', ') "
                     "from category c left join category_category l on c.id = l.child_category_id"),
                 { "0 root -, 1 Library 0, 2 Server 0, 3 Recent documents 0, 4 Reading list 0" });
        // The first document is on the reading list too, with options.
        sql("insert into content (id, name, location) values (1, 'b1', '/media/flash'), (2, 'b2', '/media/flash')");
        sql("insert into content_category (content_id, category_id) values (1, 3), (2, 3), (1, 4)");
        sql("insert into content_options (id, options) values (1, x'00ff')");
        cms::ContentNode node;
        QVERIFY(manager.getContentNode(1, node) && manager.removeContentNode(node));
        QCOMPARE(node.id, -1);
        QCOMPARE(sql("select group_concat(id) from content") + sql("select group_concat(content_id) from content_category"),
                 QStringList({ "2", "2" }));
        QCOMPARE(sql("select count(*) from content_options"), { "0" });
    }

    void cleanDocs_data()
    {
        QTest::addColumn<QString>("records"); // id, name, location, last access
        QTest::addColumn<QString>("members");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("remaining");
        const int yes = QMessageBox::Yes;
        const QString asked = "Exclude documents on SD-card?|";
        const QString cleaned = "'Recent Documents' are cleaned|Total number of entries: ";
        const QString a = "'a.txt', '/media/flash', '2012-11-0";
        const QString sd = "(1, 'b.txt', '/media/sd', '2012')";
        const QString gone = "(1, 'gone.txt', '/media/flash', '2012')";
        QTest::newRow("three of a file") << "(1, " + a + "1'), (2, " + a + "3'), (3, " + a + "2')" << "1, 2, 3" << yes
            << "" << QStringList{ asked, cleaned + "3\nNumber of removed entries: 2" } << QStringList{ "2" };
        QTest::newRow("gone; no record") << gone + ", (2, " + a + "1')" << "1, 99, 2" << yes << ""
            << QStringList{ asked, cleaned + "3\nNumber of removed entries: 1" } << QStringList{ "2" };
        QTest::newRow("SD card kept") << sd << "1" << yes << ""
            << QStringList{ asked, cleaned + "1\nNumber of removed entries: 0" } << QStringList{ "1" };
        QTest::newRow("SD card too") << sd << "1" << int(QMessageBox::No) << ""
            << QStringList{ asked, cleaned + "1\nNumber of removed entries: 1" } << QStringList();
        QTest::newRow("cancel") << gone << "1" << int(QMessageBox::Cancel) << "" << QStringList{ asked } << QStringList{ "1" };
        QTest::newRow("another writer") << gone << "1" << yes << "locked" << QStringList{ asked,
            "Error!|Total number of entries: 1\nNumber of removed entries: 0\nThe documents database refused" }
            << QStringList{ "1" };
        const QString unopened = "Error!|Can't open the documents database /root/content.db\n";
        QTest::newRow("damaged") << "" << "" << yes << "damaged" << QStringList{ asked, unopened } << QStringList();
        QTest::newRow("missing") << "" << "" << yes << "missing" << QStringList{ asked, unopened + "No such file" }
                                 << QStringList();
    }

    void cleanDocs()
    {
        QFETCH(QString, records);
        QFETCH(QString, members);
        QFETCH(QString, database);
        QFETCH(int, answer);
        QFETCH(QStringList, boxes);
        QVERIFY(support::writeFile("/media/flash/a.txt", "a"));
        QFile::remove(ContentDb);
        QVERIFY(database != "damaged" || support::writeFile(ContentDb, QByteArray(2048, 'x')));
        if (database.isEmpty() || database == "locked") {
            QVERIFY(cms::ContentManager().open(ContentDb));
            support::sqlRows(ContentDb, "insert into content (id, name, location, last_access) values " + records);
            support::sqlRows(ContentDb, "insert into content_category (category_id, content_id) values (3, "
                                            + members.replace(", ", "), (3, ") + ")");
        }
        const QByteArray before = support::readFile(ContentDb);
        QSqlDatabase other;
        if (database == "locked") {
            other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(ContentDb);
            QVERIFY(other.open() && QSqlQuery(other).exec("begin immediate"));
        }
        support::ModalDriver driver({ QMessageBox::StandardButton(answer), QMessageBox::Ok });
        window->cleanDocs();
        other.close();
        QCOMPARE(shown(driver.seen, boxes), boxes);
        if (database == "damaged" || database == "missing")
            QCOMPARE(support::readFile(ContentDb), before);
        else
            QTEST(support::sqlRows(ContentDb, "select id from content order by id"), "remaining");
    }

    // A tap on a diagonal chooses no side; each side turns the screen from 270.
    void rotationTaps_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("turned");
        const QSize square(252, 252);
        QTest::newRow("top") << QPoint(126, 10) << square << int(ScreenRotationDialog::Top) << 90;
        QTest::newRow("left") << QPoint(10, 126) << square << int(ScreenRotationDialog::Left) << 180;
        QTest::newRow("right") << QPoint(240, 126) << square << int(ScreenRotationDialog::Right) << 0;
        QTest::newRow("bottom") << QPoint(126, 240) << square << int(ScreenRotationDialog::Bottom) << -1;
        QTest::newRow("falling diagonal") << QPoint(60, 60) << square << int(ScreenRotationDialog::NoSide) << -1;
        QTest::newRow("rising diagonal") << QPoint(200, 52) << square << int(ScreenRotationDialog::NoSide) << -1;
        QTest::newRow("just above the rising one") << QPoint(200, 51) << square << int(ScreenRotationDialog::Top) << 90;
        // d = 300 - (100 * 300) / 200 = 150
        QTest::newRow("taller, on the rising one") << QPoint(100, 150) << QSize(200, 300) << int(ScreenRotationDialog::NoSide) << -1;
        QTest::newRow("taller, below it") << QPoint(100, 151) << QSize(200, 300) << int(ScreenRotationDialog::Bottom) << -1;
    }

    void rotationTaps()
    {
        QFETCH(QPoint, at);
        QFETCH(QSize, size);
        const ScreenRotationDialog::Side side = ScreenRotationDialog::sideAt(at.x(), at.y(), size.width(), size.height());
        QTEST(int(side), "side");
        QTEST(ScreenRotationDialog::turnedBy(side, 270), "turned");
    }
};

QTEST_MAIN(TestUtilities)
#include "tst_utilities.moc"
