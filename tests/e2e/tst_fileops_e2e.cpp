// File commands and running programs on the emulated device: the real
// lirro through the launcher, driven by the device's keys; the file tree is
// checked after each command and the panel after every step.
#include <QDataStream>
#include "support/sandbox.h"
#include <QDir>
#include <QFile>
#include <QtTest>

#include "devicesession.h"
#include "e2echeck.h"

namespace {
constexpr char kFlash[] = "/media/flash";
constexpr char kWork[] = "/media/flash/aaa_work";   // sorts first among the flash's folders
constexpr int kScriptLines = 100;
constexpr int kShownLines = 57;

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data, QFile::Permissions extra = {}) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        return false;
    f.close();
    return !extra || f.setPermissions(f.permissions() | extra);
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A ZIP archive with stored (uncompressed) entries, as unzip reads it.
QByteArray zipArchive(const QList<QPair<QByteArray, QByteArray>>& entries) {
    QByteArray archive, central;
    QDataStream out(&archive, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    QDataStream dir(&central, QIODevice::WriteOnly);
    dir.setByteOrder(QDataStream::LittleEndian);
    for (const auto& entry : entries) {
        const quint32 offset = quint32(archive.size());
        const quint32 crc = crc32(entry.second);
        const quint32 size = quint32(entry.second.size());
        out << quint32(0x04034b50) << quint16(20) << quint16(0) << quint16(0) << quint16(0) << quint16(0x21)
            << crc << size << size << quint16(entry.first.size()) << quint16(0);
        out.writeRawData(entry.first.constData(), entry.first.size());
        out.writeRawData(entry.second.constData(), entry.second.size());
        dir << quint32(0x02014b50) << quint16(20) << quint16(20) << quint16(0) << quint16(0) << quint16(0)
            << quint16(0x21) << crc << size << size << quint16(entry.first.size()) << quint16(0) << quint16(0)
            << quint16(0) << quint16(0) << quint32(0) << offset;
        dir.writeRawData(entry.first.constData(), entry.first.size());
    }
    const quint32 centralOffset = quint32(archive.size());
    out.writeRawData(central.constData(), central.size());
    out << quint32(0x06054b50) << quint16(0) << quint16(0) << quint16(entries.size()) << quint16(entries.size())
        << quint32(central.size()) << centralOffset << quint16(0);
    return archive;
}

// Lines of text in a window of the screen: runs of rows holding dark
// pixels, each with the width of its dark extent.
QList<int> textLineWidths(const QImage& screen, const QRect& window) {
    QList<int> widths;
    int left = -1, right = -1;
    const QRect area = window.intersected(screen.rect());
    for (int y = area.top(); y <= area.bottom() + 1; ++y) {
        int rowLeft = -1, rowRight = -1;
        if (y <= area.bottom()) {
            const uchar* line = screen.constScanLine(y);
            for (int x = area.left(); x <= area.right(); ++x) {
                if (line[x] < 128) {
                    rowLeft = rowLeft < 0 ? x : rowLeft;
                    rowRight = x;
                }
            }
        }
        if (rowLeft >= 0) {
            left = left < 0 ? rowLeft : qMin(left, rowLeft);
            right = qMax(right, rowRight);
        } else if (left >= 0) {
            widths << right - left + 1;
            left = right = -1;
        }
    }
    return widths;
}

// Up from a local menu's first entry wraps to its last: the entries counted
// from the end do not depend on whether Paste is enabled.
bool chooseFromEnd(DeviceSession& device, int upSteps) {
    for (int i = 0; i < upSteps; ++i) {
        if (!device.key("Up"))
            return false;
    }
    return device.key("Return");
}
constexpr int kUpToRename = 3;
constexpr int kUpToMultiselect = 5;
constexpr int kUpToDelete = 7;
}  // namespace

class FileOpsEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void copyWithMultiselectPasteAndDelete();
    void renameAndMakeDir();
    void activateZipAndScript();
};

void FileOpsEndToEnd::init() {
    REQUIRE_SANDBOX();
}

void FileOpsEndToEnd::copyWithMultiselectPasteAndDelete() {
    const QString documents = QString(kFlash) + "/documents";
    const QString books = QString(kFlash) + "/books";
    const QByteArray notes = readFile(documents + "/My Notes.txt");
    const QByteArray xml = readFile(documents + "/note.xml");
    const QStringList booksBefore = DeviceSession::fileTree(books);

    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle(kFlash), qPrintable(device.title()));
    VERIFY_PANEL(device, "start");

    // documents: hello.sh, My Notes.txt, note.xml. Select the second row,
    // switch Multiselect on and extend to the third; Copy is the first entry.
    // The first Down in a newly shown directory selects its first row.
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle(documents), qPrintable(device.title()));
    VERIFY_PANEL(device, "documents");
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Menu"));
    QVERIFY(device.waitForOtherWindows(1));
    VERIFY_PANEL(device, "local menu");
    QVERIFY(chooseFromEnd(device, kUpToMultiselect));
    QVERIFY(device.waitForOtherWindows(0));
    VERIFY_PANEL(device, "Multiselect on");
    QVERIFY(device.key("Down"));
    VERIFY_PANEL(device, "two files selected");
    QVERIFY(device.key("Menu"));
    QVERIFY(device.waitForOtherWindows(1));
    QVERIFY(device.key("Return"));
    QVERIFY(device.waitForOtherWindows(0));
    VERIFY_PANEL(device, "copied");

    // Paste in books (fiction, science): select a row, Paste is the third entry.
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle(kFlash), qPrintable(device.title()));
    QVERIFY(device.key("Home"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle(books), qPrintable(device.title()));
    VERIFY_PANEL(device, "books");
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Menu"));
    QVERIFY(device.waitForOtherWindows(1));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Return"));
    QVERIFY(device.waitForOtherWindows(0));
    VERIFY_PANEL(device, "pasted");
    QStringList expected = booksBefore;
    expected << "My Notes.txt" << "note.xml";
    expected.sort();
    QTRY_COMPARE_WITH_TIMEOUT(DeviceSession::fileTree(books), expected, 10000);
    QCOMPARE(readFile(books + "/My Notes.txt"), notes);
    QCOMPARE(readFile(books + "/note.xml"), xml);
    QCOMPARE(readFile(documents + "/My Notes.txt"), notes);
    QCOMPARE(readFile(documents + "/note.xml"), xml);

    // Delete the last row (note.xml) with its question: No keeps it, Yes
    // removes it and nothing else.
    QVERIFY(device.key("End"));
    VERIFY_PANEL(device, "last row");
    for (const char* answer : {"Escape", "Return"}) {
        QVERIFY(device.key("Menu"));
        QVERIFY(device.waitForOtherWindows(1));
        QVERIFY(chooseFromEnd(device, kUpToDelete));
        QVERIFY2(device.waitForWindow("Deleting files/dirs"), "Delete asked nothing");
        VERIFY_PANEL(device, "Delete's question shown");
        QVERIFY(device.key(answer));
        QVERIFY(device.waitForWindow("Deleting files/dirs", false));
        VERIFY_PANEL(device, "Delete's question answered");
        if (QByteArray(answer) == "Escape")
            QCOMPARE(DeviceSession::fileTree(books), expected);
    }
    expected.removeAll("note.xml");
    QTRY_COMPARE_WITH_TIMEOUT(DeviceSession::fileTree(books), expected, 10000);
    QCOMPARE(readFile(documents + "/note.xml"), xml);
}

void FileOpsEndToEnd::renameAndMakeDir() {
    const QString documents = QString(kFlash) + "/documents";
    const QByteArray notes = readFile(documents + "/My Notes.txt");

    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle(kFlash), qPrintable(device.title()));
    // The first Down in a newly shown directory selects its first row.
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle(documents), qPrintable(device.title()));
    VERIFY_PANEL(device, "documents");

    // Rename "My Notes.txt" through the keyboard dialog: the new name typed,
    // then the on-screen Enter (Up, Up, Left from the starting key) and OK.
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Menu"));
    QVERIFY(device.waitForOtherWindows(1));
    QVERIFY(chooseFromEnd(device, kUpToRename));
    QVERIFY2(device.waitForWindow("Rename \"My Notes.txt\" to"), "no keyboard dialog");
    VERIFY_PANEL_WITH_TEXT_CURSOR(device, "keyboard dialog shown");
    QVERIFY(device.key("ctrl+a"));
    QVERIFY(device.type("Old notes.txt"));
    VERIFY_PANEL_WITH_TEXT_CURSOR(device, "new name typed");
    for (const char* k : {"Up", "Up", "Left", "Return"})
        QVERIFY(device.key(k));
    QVERIFY(device.waitForWindow("Rename \"My Notes.txt\" to", false));
    VERIFY_PANEL(device, "renamed");
    QTRY_COMPARE_WITH_TIMEOUT(DeviceSession::fileTree(documents),
                              QStringList({"Old notes.txt", "hello.sh", "note.xml"}), 10000);
    QCOMPARE(readFile(documents + "/Old notes.txt"), notes);

    // Make dir twice from the File menu (tapped open): the first makes
    // NewDir, the second fails with its message and changes nothing.
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(device.tap(20, 16));
        QVERIFY(device.waitForOtherWindows(1));
        VERIFY_PANEL(device, "File menu");
        QVERIFY(device.key("Down"));
        QVERIFY(device.key("Down"));
        QVERIFY(device.key("Return"));
        QVERIFY2(device.waitForWindow("Name for new directory"), "no keyboard dialog");
        VERIFY_PANEL_WITH_TEXT_CURSOR(device, "Make dir's dialog shown");
        for (const char* k : {"Up", "Up", "Left", "Return"})
            QVERIFY(device.key(k));
        QVERIFY(device.waitForWindow("Name for new directory", false));
        if (attempt == 1) {
            QVERIFY2(device.waitForWindow("Error!"), "the second Make dir reported nothing");
            VERIFY_PANEL(device, "Make dir's failure shown");
            QVERIFY(device.key("Return"));
            QVERIFY(device.waitForWindow("Error!", false));
        }
        VERIFY_PANEL(device, "Make dir done");
        QTRY_COMPARE_WITH_TIMEOUT(DeviceSession::fileTree(documents),
                                  QStringList({"NewDir/", "Old notes.txt", "hello.sh", "note.xml"}), 10000);
    }
}

void FileOpsEndToEnd::activateZipAndScript() {
    // aaa_work: Book/ (taken, so the archive goes to Book.0), Book.zip,
    // lines.sh. The script prints 100 lines and trailing line feeds; line 44,
    // the first of the last 57, is the only wide one.
    QVERIFY(QDir().mkpath(QString(kWork) + "/Book"));
    const QByteArray chapter = "Chapter one.\n";
    const QByteArray readme = "Read me.\n";
    QVERIFY(writeFile(QString(kWork) + "/Book.zip",
                      zipArchive({{"chapter1.txt", chapter}, {"notes/readme.txt", readme}})));
    QByteArray script = "#!/bin/sh\n";
    for (int i = 1; i <= kScriptLines; ++i)
        script += i == kScriptLines - kShownLines + 1 ? "echo " + QByteArray(50, 'W') + "\n" : "echo x\n";
    script += "printf '\\n\\n\\n'\n";
    QVERIFY(writeFile(QString(kWork) + "/lines.sh", script, QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));

    DeviceSession device;
    QVERIFY2(device.start(), qPrintable(device.lastError()));
    QVERIFY2(device.waitForTitle(kFlash), qPrintable(device.title()));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle(kWork), qPrintable(device.title()));
    VERIFY_PANEL(device, "work folder");

    // The archive: asked, extracted into Book.0 by unzip, whose output shows.
    // (The first Down selects the first row.)
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Down"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForWindow(".zip file activated"), "no question for the archive");
    VERIFY_PANEL(device, "ZIP question shown");
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForTitle(QString(kWork) + "/Book.0"), qPrintable(device.title()));
    QVERIFY2(device.waitForWindow("Program output"), "unzip's output never shown");
    VERIFY_PANEL(device, "unzip's output shown");
    QCOMPARE(DeviceSession::fileTree(QString(kWork) + "/Book.0"),
             QStringList({"chapter1.txt", "notes/", "notes/readme.txt"}));
    QCOMPARE(readFile(QString(kWork) + "/Book.0/chapter1.txt"), chapter);
    QCOMPARE(readFile(QString(kWork) + "/Book.0/notes/readme.txt"), readme);
    QCOMPARE(DeviceSession::fileTree(QString(kWork) + "/Book"), QStringList());
    QVERIFY(device.key("Escape"));
    QVERIFY(device.waitForWindow("Program output", false));
    VERIFY_PANEL(device, "unzip's output closed");

    // The script: started, its output window shows the last 57 lines.
    QVERIFY(device.key("Escape"));
    QVERIFY2(device.waitForTitle(kWork), qPrintable(device.title()));
    VERIFY_PANEL(device, "back in the work folder");
    QVERIFY(device.key("End"));
    QVERIFY(device.key("Return"));
    QVERIFY2(device.waitForWindow("Program output"), "the script's output never shown");
    VERIFY_PANEL(device, "script output shown");
    const QList<QRect> windows = device.otherWindows();
    QCOMPARE(windows.size(), 1);
    const QList<int> widths = textLineWidths(device.framebufferImage(), windows.first());
    QVERIFY2(widths.size() >= 10, qPrintable(QString("%1 lines of text seen").arg(widths.size())));
    // The first line shown is the wide one; every other one is narrow.
    QVERIFY2(widths.first() > 4 * widths.value(1), qPrintable(QString("first line %1 px, second %2 px")
                                                                    .arg(widths.first())
                                                                    .arg(widths.value(1))));
    for (int i = 1; i < widths.size(); ++i)
        QVERIFY2(widths[i] < widths.first() / 4, qPrintable(QString("line %1 is %2 px wide").arg(i + 1).arg(widths[i])));
    QVERIFY(device.key("Escape"));
    QVERIFY(device.waitForWindow("Program output", false));
    VERIFY_PANEL(device, "script output closed");
}

QTEST_GUILESS_MAIN(FileOpsEndToEnd)
#include "tst_fileops_e2e.moc"
