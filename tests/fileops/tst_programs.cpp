#include "fileops/runcommandsync.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/sandbox.h"
#include "support/views.h"

#include <QElapsedTimer>

#include <sys/stat.h>

using namespace support;

namespace {

const QString Scratch = QStringLiteral("/tmp/lirro_programs");
const QString Log = QStringLiteral("/tmp/lirro_programs_log");

// A script that writes the name it was started by, so a test can tell which
// file ran.
QByteArray loggingScript()
{
    return "#!/bin/sh\nprintf '%s' \"$0\" > " + Log.toUtf8() + "\n";
}

QString s(const QString& name)
{
    return Scratch + QLatin1Char('/') + name;
}

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT

private:
    TestView* view = nullptr;

    bool allCollected()
    {
        return QTest::qWaitFor([this] { return view->runningProcesses.isEmpty(); }, 10000);
    }

    // Activates the entry as OK or a double tap does.
    void activate(const QString& path)
    {
        QModelIndex index;
        QVERIFY2(QTest::qWaitFor([&] { return (index = view->model->index(path)).isValid(); }, 5000),
                 qPrintable(path));
        view->handleItemActivation(index);
    }

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void init()
    {
        QVERIFY(freshDir(Scratch));
        QFile::remove(Log);
        view = new TestView;
        view->show();
        QVERIFY(view->setDirectory(Scratch));
    }

    void cleanup() { delete view; }

    // Only a shell script or an ELF program is started when the command
    // names a file that can be read; a bare name is a command on the search
    // path, or else the file in the shown directory.
    void whatStarts_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the file "prog" (null: a pipe)
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("ran"); // as the log says, or the output window
        QFile elf(QStringLiteral("/bin/true"));
        QVERIFY(elf.open(QIODevice::ReadOnly));
        const QString prog = s("prog");
        QTest::newRow("shell script") << loggingScript() << 0755 << prog << prog;
        QTest::newRow("ELF program") << elf.readAll() << 0755 << prog << "started";
        QTest::newRow("ELF magic, short") << QByteArray("\x7f" "ELF\x02\x01") << 0755 << prog << "";
        QTest::newRow("another interpreter") << "#!/bin/bash\n" + loggingScript() << 0755 << prog << "";
        QTest::newRow("text") << QByteArray("Some notes, long enough.\n") << 0755 << prog << "";
        QTest::newRow("pipe") << QByteArray() << 0 << prog << "";
        QTest::newRow("unreadable: unchecked") << QByteArray("#!/bin/bash\ntrue\n") << 0111 << prog << "started";
        QTest::newRow("search path, not the file here") << QByteArray("not a program\n") << 0755 << "ls -d /" << "Program output: /";
        QTest::newRow("file named as a file") << QByteArray("not a program\n") << 0755 << "./ls -d /" << "";
        QTest::newRow("bare name, only here") << loggingScript() << 0755 << "prog" << prog;
        QTest::newRow("nowhere") << loggingScript() << 0755 << "no-such-program-anywhere" << "";
    }

    void whatStarts()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, command);
        QFETCH(QString, ran);
        const QString file = s(command.startsWith(QLatin1String("ls")) || command.startsWith(QLatin1String("./ls")) ? "ls" : "prog");
        if (content.isNull())
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0777), 0);
        else
            QVERIFY(writeFile(file, content, mode));
        ModalDriver driver;
        // Started again in the shown directory once the working directory moved away.
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        view->setCurrentIndex(view->model->index(file));
        view->rememberedIndex = QPersistentModelIndex();
        QVERIFY(setReadOverride(false));
        const bool started = view->runProgram(command);
        QVERIFY(setReadOverride(true));
        QCOMPARE(started, !ran.isEmpty());
        QCOMPARE(view->rememberedIndex.isValid(), started);
        QVERIFY(allCollected());
        if (ran.startsWith(QLatin1String("Program output")))
            QCOMPARE(driver.waitSeen(1) ? driver.seen.first().title + ": " + driver.seen.first().text : QString(), ran);
        else if (content.contains("printf '%s'"))
            QTRY_COMPARE(QString::fromUtf8(readFile(Log)), ran.isEmpty() ? QStringLiteral("<missing>") : ran);
    }

    // Finished programs: their output in a window (the last 57 lines, plain
    // text, without trailing line feeds; none for fewer than two bytes),
    // then released; one still running stays listed.
    void outputOfFinishedPrograms()
    {
        ModalDriver driver;
        QVERIFY(view->runProgram(QStringLiteral("printf x")));
        QPointer<QProcess> quiet = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("true")));
        QVERIFY(view->runProgram(QStringLiteral("sleep 30")));
        QPointer<QProcess> sleeper = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("sh -c \"seq 100; echo '<b>x</b>' >&2; echo; echo\"")));
        QVERIFY(driver.waitSeen(1));
        QTRY_VERIFY(quiet.isNull());
        QStringList last;
        for (int i = 45; i <= 100; ++i)
            last << QString::number(i);
        QCOMPARE(driver.seen.first().text, last.join(QLatin1Char('\n')) + QStringLiteral("\n<b>x</b>"));
        QCOMPARE(driver.seen.first().font.family() + QString::number(driver.seen.first().font.pointSize()),
                 QStringLiteral("Bitstream Vera Sans Mono15"));
        QTRY_COMPARE(view->runningProcesses, QList<QProcess*>{ sleeper.data() });
        // Output past 1 MiB: only the newest is kept, and the window says so.
        QVERIFY(view->runProgram(QStringLiteral("sh -c \"yes line | head -c 3000000; echo last\"")));
        QVERIFY(driver.waitSeen(2));
        QVERIFY2(driver.seen.last().text.endsWith(QStringLiteral("\nlast\n[only the last 1048576 bytes of the output were kept]")),
                 qPrintable(driver.seen.last().text.right(80)));
        // One that never ends goes with the view.
        delete view;
        QVERIFY(sleeper.isNull());
        view = new TestView;
    }

    void runCommandSync()
    {
        QCOMPARE(::runCommandSync(QStringLiteral("sh -c \"echo out; echo err >&2\"")), QStringLiteral("out\nerr\n"));
        QCOMPARE(::runCommandSync(QStringLiteral("no-such-program-anywhere")), QString());
        // Bounded by 30 seconds: the command is ended with its object.
        QElapsedTimer clock;
        clock.start();
        const QString pid = ::runCommandSync(QStringLiteral("sh -c \"echo $$; exec sleep 100\"")).trimmed();
        QVERIFY2(clock.elapsed() >= 29500 && clock.elapsed() < 45000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!pid.isEmpty() && !QFile::exists("/proc/" + pid));
    }

    void kernelFiles()
    {
        ModalDriver driver;
        QVERIFY(view->setDirectory(QStringLiteral("/proc")));
        activate(QStringLiteral("/proc/kmsg"));
        activate(QStringLiteral("/proc/version"));
        // An endless file is read up to the bound, and the window says so.
        activate(QStringLiteral("/proc/self/pagemap"));
        QCOMPARE(driver.seen.size(), 3);
        QCOMPARE(driver.seen.at(0).title + ": " + driver.seen.at(0).text,
                 QStringLiteral("ProcFS reading: Some unknown troubles while reading 'kmsg'"));
        QCOMPARE(driver.seen.at(1).title, QStringLiteral("File contents"));
        QCOMPARE(driver.seen.at(1).text, QString::fromLocal8Bit(readFile(QStringLiteral("/proc/version"))).trimmed());
        QVERIFY(driver.seen.at(2).text.endsWith(QStringLiteral("\n[cut after 1048576 bytes]")));
    }

    void zipExtraction()
    {
        ModalDriver driver({ QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::No,
                             QMessageBox::Yes, QMessageBox::Yes });
        QVERIFY(writeFile(s("Book.zip"), makeZip({ { "chapter.txt", "one" }, { "part/two.txt", "two" } })));
        QVERIFY(writeFile(s("NOTES.ZIP"), makeZip({ { "n.txt", "notes" } })));
        for (const QString name : { "Book", "Book.0", "Book.1" }) {
            QVERIFY(view->setDirectory(Scratch));
            activate(s("Book.zip"));
            QCOMPARE(view->dir.canonicalPath(), s(name)); // shown at once, filled meanwhile
            QVERIFY(allCollected());
            QCOMPARE(readFile(s(name + "/part/two.txt")), QByteArray("two"));
        }
        QCOMPARE(driver.seen.at(0).text, QStringLiteral("Extract files from ZIP archive?"));
        QVERIFY(driver.seen.at(1).text.contains(QStringLiteral("chapter.txt"))); // unzip's report
        QVERIFY(view->setDirectory(Scratch));
        activate(s("Book.zip")); // No
        QVERIFY(!QFile::exists(s("Book.2")));
        activate(s("NOTES.ZIP"));
        QVERIFY(allCollected());
        QCOMPARE(readFile(s("NOTES/n.txt")), QByteArray("notes"));

        // No directory can be made: an error, and unzip never runs.
        QVERIFY(writeFile(s("locked/Book.zip"), makeZip({ { "f.txt", "x" } })));
        QVERIFY(view->setDirectory(s("locked")));
        QVERIFY(QFile::setPermissions(s("locked"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(setReadOverride(false));
        activate(s("locked/Book.zip"));
        QVERIFY(setReadOverride(true));
        QCOMPARE(driver.seen.last().text, QStringLiteral("Can not create directory Book"));
        QVERIFY(view->runningProcesses.isEmpty());
    }

    // A name is passed as it is, never through a shell or a second split:
    // activated, typed into the Run dialog, and as an archive's name.
    void awkwardNames_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : { "my prog", "q\"uote", "tail\"", "d$HOME", "b`id`x", "-dash",
                                  "line\nfeed", "tab\there", "all \"$(id)\" `id` -x", "w[1]*?",
                                  "back\\slash", "ls" })
            QTest::newRow(name) << QString::fromUtf8(name);
    }

    void awkwardNames()
    {
        QFETCH(QString, name);
        ModalDriver driver({ QMessageBox::Yes, QMessageBox::Ok });
        QVERIFY(writeFile(s(name), loggingScript(), 0755));
        const QString first = name.section(QLatin1Char(' '), 0, 0); // a decoy
        if (first != name)
            QVERIFY(writeFile(s(first), "#!/bin/sh\necho WRONG > " + Log.toUtf8(), 0755));
        activate(s(name));
        QTRY_COMPARE(QString::fromUtf8(readFile(Log)), s(name));
        QVERIFY(QFile::remove(Log));

        QString offered;
        driver.actions = { [&](QDialog* dialog) {
            offered = static_cast<ui::VexaKeyboardDialog*>(dialog)->lineEdit()->text();
            dialog->accept();
        } };
        view->setCurrentIndex(view->model->index(s(name)));
        view->actionRun();
        // A name that is also a command on the search path is marked as the file here.
        QCOMPARE(QProcess::splitCommand(offered), QStringList{ name == "ls" ? "./ls" : name });
        QVERIFY(offered.endsWith(QLatin1Char(' ')));
        QTRY_COMPARE(QString::fromUtf8(readFile(Log)), "./" + name);

        QVERIFY(writeFile(s(name + " book.zip"), makeZip({ { "f.txt", name.toUtf8() } })));
        activate(s(name + " book.zip"));
        QVERIFY(allCollected());
        QCOMPARE(readFile(s(name + " book/f.txt")), name.toUtf8());
        for (const ModalSeen& seen : qAsConst(driver.seen))
            QVERIFY2(seen.title != QStringLiteral("Exec error!"), qPrintable(seen.text));
    }

    void nothingToRun()
    {
        ModalDriver driver;
        QVERIFY(writeFile(s("my notes.txt"), "Nothing to run in here.\n"));
        QVERIFY(writeFile(s("tiny"), "#!/bin/\n", 0755));
        activate(s("my notes.txt"));
        activate(s("tiny"));
        QCOMPARE(driver.seen.at(0).text, QStringLiteral("Nothing to do with file \"%1\"").arg(s("my notes.txt")));
        QCOMPARE(driver.seen.at(1).text, QStringLiteral("Nothing to do with file %1").arg(s("tiny")));
        QCOMPARE(driver.seen.at(1).icon, int(QMessageBox::Information));

        // Nothing selected: an empty line; a command that can't start; cancelled.
        view->clearSelection();
        QString offered = QStringLiteral("unset");
        driver.actions = { [&](QDialog* dialog) {
            auto* keys = static_cast<ui::VexaKeyboardDialog*>(dialog);
            offered = keys->lineEdit()->text();
            keys->lineEdit()->setText(QStringLiteral("no-such-program \"a b\""));
            dialog->accept();
        } };
        view->actionRun();
        view->actionRun();
        QCOMPARE(offered, QString());
        QCOMPARE(driver.seen.size(), 5);
        QCOMPARE(driver.seen.at(3).title + ": " + driver.seen.at(3).text,
                 QStringLiteral("Exec error!: Can not execute command line:\nno-such-program \"a b\""));
        QVERIFY(view->runningProcesses.isEmpty());
    }
};

QTEST_MAIN(TestPrograms)
#include "tst_programs.moc"
