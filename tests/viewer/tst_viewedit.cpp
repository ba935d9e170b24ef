// View and Edit from the file list: what each kind of file opens as, the
// size limit, and that the edited file always ends under its own name.

#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/views.h"
#include "viewer/base_highlighter.h"
#include "viewer/plain_text_view.h"
#include "viewer/textfile.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using support::indexOf;
using support::showDirectory;

namespace {

const QString Work = QStringLiteral("/media/flash/viewing");
const qint64 Limit = 10485760;

// The viewer's highlighter class and first characters, or a box's title and text.
QString seenOf(const support::ModalDriver& driver)
{
    QStringList seen;
    for (const support::ModalSeen& s : driver.seen)
        seen << (s.className == "QMessageBox" ? s.title + " " + s.text : s.text);
    return seen.join(" / ");
}

} // namespace

class TestViewEdit : public QObject
{
    Q_OBJECT

    support::TestView list;
    QString pathBefore;

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        pathBefore = QString::fromLocal8Bit(qgetenv("PATH"));
    }
    void init() { QVERIFY(support::freshDir(Work)); }
    void cleanup() { qputenv("PATH", pathBefore.toLocal8Bit()); }

    void view_data();
    void view();
    void readLimits();
    void edit_data();
    void edit();
};

void TestViewEdit::view_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("seen");

    const QString hex = "BIN_HIGHLIGHTER 00000000  ";
    QTest::newRow("C file by name, any case") << "main.C" << QByteArray("int main;\n") << "CPP_HIGHLIGHTER int main;";
    QTest::newRow("XML declaration") << "a.conf" << QByteArray("<?xml version=\"1.0\"?>") << "XML_HIGHLIGHTER <?xml version=\"1.0\"?>";
    QTest::newRow("bash script is plain") << "run" << QByteArray("#!/bin/bash\n") << "BASE_HIGHLIGHTER #!/bin/bash";
    QTest::newRow("binary") << "a.bin" << QByteArray("\x00\x01\xff", 3) << hex + "00 01 ff";
    QTest::newRow("Latin-1 under UTF-8") << "l1.txt" << QByteArray("caf\xe9") << hex + "63 61 66 e9";
    QTest::newRow("ZIP test is case-sensitive") << "notes.ZIP" << QByteArray("PK\x03\x04\xff") << hex + "50 4b 03 04 ff";
    QTest::newRow("empty") << "empty" << QByteArray() << "BIN_HIGHLIGHTER Empty text, tee-hee...";
    const QByteArray largest = (QByteArray(63, 'x') + '\n').repeated(Limit / 64);
    QTest::newRow("largest") << "big.txt" << largest << "BASE_HIGHLIGHTER xxxx";
    QTest::newRow("one byte more") << "big.txt" << largest + 'x'
                                   << "File viewer error! File big.txt is too big: 10485761 bytes";
}

void TestViewEdit::view()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, seen);
    QVERIFY(support::writeFile(Work + "/" + name, bytes));
    QVERIFY(showDirectory(list, Work));
    list.setCurrentIndex(indexOf(list, name));

    support::ModalDriver driver;
    driver.whileOpen = [&](QWidget* modal) {
        if (auto* viewer = modal->findChild<PLAIN_TEXT_VIEW*>())
            driver.seen.last().text = viewer->highlighter->metaObject()->className() + QString(" ")
                                      + viewer->toPlainText().left(seen.size() - seen.indexOf(' ') - 1);
    };
    list.actionView();
    QVERIFY(driver.waitSeen(1));
    QCOMPARE(seenOf(driver), seen);
    QVERIFY(QFile::exists(Work + "/" + name));
}

void TestViewEdit::readLimits()
{
    // The limit holds for what is read, not for what was listed; something
    // that would keep a reader waiting is refused at once.
    // A /proc file is listed with no size at all.
    const TextFile grown = TextFile::read("/proc/self/status", 50);
    QCOMPARE(int(grown.status), int(TextFile::TooBig));
    QCOMPARE(grown.size, qint64(51));
    QCOMPARE(::mkfifo(qPrintable(Work + "/pipe"), 0644), 0);
    QCOMPARE(int(TextFile::read(Work + "/pipe", 50).status), int(TextFile::NotRegular));
    QCOMPARE(int(TextFile::read(Work + "/gone", 50).status), int(TextFile::Read));
}

void TestViewEdit::edit_data()
{
    QTest::addColumn<QString>("editor");      // the text_editor script, "stand-in" or "missing"
    QTest::addColumn<bool>("tempThere");      // a.txt.txt exists beforehand
    QTest::addColumn<QString>("files");       // what the directory holds afterwards
    QTest::addColumn<QString>("seen");

    QTest::newRow("edited") << "stand-in" << false << "a.txt:text edited" << "";
    QTest::newRow("editor fails") << "exit 3" << false << "a.txt:text" << "";
    QTest::newRow("editor crashes") << "kill -SEGV $$" << false << "a.txt:text" << "";
    QTest::newRow("editor missing") << "missing" << false << "a.txt:text"
        << "Exec error! Can not execute command line:\ntext_editor /media/flash/viewing/a.txt.txt";
    QTest::newRow("temporary name taken") << "stand-in" << true << "a.txt:text a.txt.txt:other"
        << "Can`t edit Can`t rename \"/media/flash/viewing/a.txt\"";
    QTest::newRow("rename back fails") << "echo new > \"${1%.txt}\"" << false << "a.txt:new\n a.txt.txt:text"
        << "Can`t edit Can`t rename \"/media/flash/viewing/a.txt.txt\" back to "
           "\"/media/flash/viewing/a.txt\"; the file is still there";
}

void TestViewEdit::edit()
{
    QFETCH(QString, editor);
    QFETCH(bool, tempThere);
    QFETCH(QString, files);
    QFETCH(QString, seen);
    QVERIFY(support::writeFile(Work + "/a.txt", "text", 0400));
    if (tempThere)
        QVERIFY(support::writeFile(Work + "/a.txt.txt", "other"));
    QTemporaryDir bin;
    if (editor == "missing") {
        qputenv("PATH", "/nonexistent");
    } else if (editor != "stand-in") {
        QVERIFY(support::writeFile(bin.filePath("text_editor"), "#!/bin/sh\n" + editor.toUtf8() + "\n", 0755));
        qputenv("PATH", (bin.path() + ":" + pathBefore).toLocal8Bit());
    }
    qputenv("LIRRO_TEXT_EDITOR_APPEND", " edited");
    QVERIFY(showDirectory(list, Work));
    list.setCurrentIndex(indexOf(list, "a.txt"));

    support::ModalDriver driver;
    list.actionEdit();
    QCOMPARE(seenOf(driver), seen);
    QStringList found;
    for (const QString& f : QDir(Work).entryList(QDir::Files, QDir::Name))
        found << f + ":" + support::readFile(Work + "/" + f);
    QCOMPARE(found.join(' '), files);
    // Made readable and writable for its owner first.
    QVERIFY(QFile::permissions(Work + "/a.txt").testFlag(QFile::WriteOwner));
}

QTEST_MAIN(TestViewEdit)
#include "tst_viewedit.moc"
