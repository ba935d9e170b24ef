// Browsing, file commands and programs on the emulated device with the
// device's keys, taps and long press, from the start to the end through the
// launcher: the file tree checked after each command, and after every step
// the panel shows what the framebuffer holds.
#include "e2e/devicesession.h"
#include "support/files.h"
#include "support/sandbox.h"

#include <QJsonArray>
#include <QtTest>

namespace {

const QString Flash = QStringLiteral("/media/flash");
using Tree = QMap<QString, QByteArray>;
const QString Documents = Flash + "/documents";
const QString Books = Flash + "/books";
const QString Work = Flash + "/aaa_work"; // sorts first
// Entries of the local menu by Ups from its first (Up from the first wraps
// to the last, whether Paste is enabled or not).
const QStringList Copy;
const QStringList Paste{ "Down", "Down" };
const QStringList Rename = DeviceSession::repeated("Up", 3);
const QStringList Multiselect = DeviceSession::repeated("Up", 5);
const QStringList Delete = DeviceSession::repeated("Up", 7);

// From the flash's rows: aaa_work, books, dicts, documents.
bool enterDocuments(DeviceSession& device)
{
    return device.keys({ "Home", "Down", "Down", "Down", "Return" }) && device.waitForTitle(Documents);
}


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
    Tree documents;
    Tree books;

private Q_SLOTS:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        // Book/ is taken, so the archive goes to Book.0.
        QVERIFY(support::writeFile(Work + "/Book/.keep", QByteArray()));
        QVERIFY(support::writeFile(Work + "/Book.zip",
                                   support::makeZip({ { "chapter1.txt", "Chapter one.\n" }, { "notes/readme.txt", "Read me.\n" } })));
        QVERIFY(support::writeFile(Work + "/lines.sh", "#!/bin/sh\ni=0\nwhile [ $i -lt 100 ]; do echo $i; i=$((i+1)); done\n", 0755));
        documents = support::treeOf(Documents);
        books = support::treeOf(Books);
    }

    void start()
    {
        QVERIFY(device.start());
        // Start: the busy state cleared, no flash, the picture sent once
        // painting settled, and then nothing while idle.
        VERIFY_PANEL(device, "started");
        QVERIFY(device.logged("system-manager", { { "method", "setSystemBusy" }, { "args", QJsonArray{ false, true } } }));
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
        QVERIFY(device.key("Escape") && device.waitForTitle(Flash));
    }

    void zipAndScript()
    {
        QVERIFY(device.keys({ "Home", "Return" }));
        QVERIFY2(device.waitForTitle(Work), qPrintable(device.title()));

        // The archive: asked, extracted by unzip, whose output shows.
        QVERIFY(device.keys({ "Home", "Down", "Return" }));
        QVERIFY(device.waitForWindow(".zip file activated"));
        VERIFY_PANEL(device, "ZIP question");
        QVERIFY(device.key("Return"));
        QVERIFY2(device.waitForTitle(Work + "/Book.0"), qPrintable(device.title()));
        QVERIFY(device.waitForWindow("Program output"));
        VERIFY_PANEL(device, "unzip's output");
        QCOMPARE(support::treeOf(Work + "/Book.0"),
                 (Tree{ { "chapter1.txt", "Chapter one.\n" }, { "notes/", "" }, { "notes/readme.txt", "Read me.\n" } }));
        QVERIFY(device.key("Escape") && device.waitForWindow("Program output", false));
        VERIFY_PANEL(device, "unzip's output closed");

        // The script: started by OK, its output shown when it ends.
        QVERIFY(device.key("Escape") && device.waitForTitle(Work));
        QVERIFY(device.keys({ "End", "Return" }));
        QVERIFY(device.waitForWindow("Program output"));
        VERIFY_PANEL(device, "script's output");
        QVERIFY(device.key("Escape") && device.waitForWindow("Program output", false));
        VERIFY_PANEL(device, "script's output closed");
        QVERIFY(device.key("Escape") && device.waitForTitle(Flash));
    }

    void copyPasteDelete()
    {
        // In documents (hello.sh, My Notes.txt, note.xml) the last two by
        // Multiselect, then Copy, and Paste in books.
        QVERIFY2(enterDocuments(device), qPrintable(device.title()));
        VERIFY_PANEL(device, "documents");
        QVERIFY(device.keys({ "Home", "Down" }));
        QVERIFY(device.menu(Multiselect) && device.waitForOtherWindows(0));
        QVERIFY(device.key("Down"));
        VERIFY_PANEL(device, "two files selected");
        QVERIFY(device.menu(Copy) && device.waitForOtherWindows(0));
        QVERIFY(device.keys({ "Escape", "Home", "Down", "Return" }));
        QVERIFY2(device.waitForTitle(Books), qPrintable(device.title()));
        QVERIFY(device.key("Down") && device.menu(Paste) && device.waitForOtherWindows(0));
        VERIFY_PANEL(device, "pasted");
        books.insert("My Notes.txt", documents.value("My Notes.txt"));
        books.insert("note.xml", documents.value("note.xml"));
        QTRY_COMPARE(support::treeOf(Books), books);
        QCOMPARE(support::treeOf(Documents), documents);

        // Delete the last row with its question in a frame with its title:
        // No (Back) keeps it, Yes removes it and nothing else.
        for (const char* answer : { "Escape", "Return" }) {
            QVERIFY(device.key("End") && device.menu(Delete));
            QVERIFY(device.waitForWindow("Deleting files/dirs"));
            VERIFY_PANEL(device, "Delete's question");
            QVERIFY(device.key(answer) && device.waitForWindow("Deleting files/dirs", false));
            VERIFY_PANEL(device, "Delete's question answered");
        }
        books.remove("note.xml");
        QTRY_COMPARE(support::treeOf(Books), books);
        QVERIFY(device.key("Escape") && device.waitForTitle(Flash));
    }

    void renameAndMakeDir()
    {
        // Rename "My Notes.txt" through the keyboard dialog: the new name, then
        // the on-screen Enter (Up, Up, Left from the starting key).
        QVERIFY2(enterDocuments(device), qPrintable(device.title()));
        QVERIFY(device.keys({ "Home", "Down" }) && device.menu(Rename));
        QVERIFY(device.waitForWindow("Rename \"My Notes.txt\" to"));
        VERIFY_PANEL_STEADY(device, "keyboard dialog");
        QVERIFY(device.key("ctrl+a") && device.type("Old notes.txt"));
        VERIFY_PANEL_STEADY(device, "new name typed");
        QVERIFY(device.keys({ "Up", "Up", "Left", "Return" }));
        QVERIFY(device.waitForWindow("Rename \"My Notes.txt\" to", false));
        VERIFY_PANEL(device, "renamed");
        documents.insert("Old notes.txt", documents.take("My Notes.txt"));
        QTRY_COMPARE(support::treeOf(Documents), documents);

        // Make dir twice from the File menu, opened by a tap: NewDir, then a
        // failure with its message and nothing changed.
        for (int attempt = 0; attempt < 2; ++attempt) {
            QVERIFY(device.input("tap 20 16") && device.waitForOtherWindows(1));
            QVERIFY(device.keys({ "Down", "Down", "Return" }));
            QVERIFY(device.waitForWindow("Name for new directory"));
            QVERIFY(device.keys({ "Up", "Up", "Left", "Return" }));
            QVERIFY(device.waitForWindow("Name for new directory", false));
            if (attempt == 1) {
                QVERIFY(device.waitForWindow("Error!"));
                VERIFY_PANEL(device, "Make dir's failure");
                QVERIFY(device.key("Return") && device.waitForWindow("Error!", false));
            }
            VERIFY_PANEL(device, "Make dir done");
            documents.insert("NewDir/", QByteArray());
            QTRY_COMPARE(support::treeOf(Documents), documents);
        }
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
