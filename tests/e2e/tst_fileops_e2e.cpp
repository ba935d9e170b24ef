// File commands and programs on the emulated device, driven by the device's
// keys: the file tree checked after each command, the panel after every step.
#include "e2e/devicesession.h"
#include "support/files.h"
#include "support/sandbox.h"

#include <QtTest>

namespace {

using Tree = QMap<QString, QByteArray>;
const QString Flash = QStringLiteral("/media/flash");
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

} // namespace

// One device for the whole class, each case going on from where the one
// before left it: on the flash.
class FileOpsEndToEnd : public QObject
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
        QVERIFY(device.start());
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
};

QTEST_GUILESS_MAIN(FileOpsEndToEnd)
#include "tst_fileops_e2e.moc"
