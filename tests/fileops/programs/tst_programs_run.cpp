#include "browser/fs_model.h"
#include "support/sandbox.h"
#include "browser/fs_view.h"
#include "browser/screen_watcher.h"
#include "fileops/outputwindow.h"
#include "fileops/runcommandsync.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "programtestutil.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <sys/stat.h>

namespace {

const QString Scratch = QStringLiteral("/tmp/lirro_programs");
const QString Log = QStringLiteral("/tmp/lirro_programs_log");

// A script that records the name it was started by, so a test can tell
// which file ran.
QByteArray loggingScript(const QByteArray& mark = QByteArray())
{
    return "#!/bin/sh\nprintf '%s' \"" + mark + "$0\" > " + Log.toUtf8() + "\n";
}

class TestView : public FS_VIEW
{
public:
    using FS_VIEW::progFinished;
};

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT

private:
    TestView* view = nullptr;

    // Waits until every started program was reported and collected.
    bool allCollected()
    {
        return QTest::qWaitFor([this] { return view->runningProcesses.isEmpty(); }, 10000);
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
    }

    void init()
    {
        QDir(Scratch).removeRecursively();
        QFile::remove(Log);
        QVERIFY(QDir().mkpath(Scratch));
        view = new TestView;
        QVERIFY(view->setDirectory(Scratch));
    }

    void cleanup()
    {
        delete view;
        view = nullptr;
    }

    void signatureRules()
    {
        ModalDriver driver;
        const QString script = Scratch + QStringLiteral("/script");
        QVERIFY(writeFile(script, loggingScript(), Executable));
        QVERIFY(view->runProgram(script));
        QTRY_COMPARE(readFile(Log), script.toUtf8());

        const QString elf = Scratch + QStringLiteral("/true");
        QVERIFY(QFile::copy(QStringLiteral("/bin/true"), elf));
        QVERIFY(view->runProgram(elf));

        // Fewer than nine bytes, even with the ELF magic; another
        // interpreter; plain text.
        const QString shortFile = Scratch + QStringLiteral("/short");
        QVERIFY(writeFile(shortFile, "\x7f" "ELF\x02\x01", Executable));
        QVERIFY(!view->runProgram(shortFile));
        const QString bash = Scratch + QStringLiteral("/bash");
        QVERIFY(writeFile(bash, "#!/bin/bash\ntouch " + Log.toUtf8() + "\n", Executable));
        QVERIFY(!view->runProgram(bash));
        const QString text = Scratch + QStringLiteral("/notes");
        QVERIFY(writeFile(text, "Some notes, long enough.\n", Executable));
        QVERIFY(!view->runProgram(text));

        // A pipe is refused without waiting for a writer.
        const QString fifo = Scratch + QStringLiteral("/fifo");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0777), 0);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!view->runProgram(fifo));
        QVERIFY(clock.elapsed() < 5000);

        // A file that can't be read is started unchecked.
        const QString hidden = Scratch + QStringLiteral("/hidden");
        QVERIFY(QFile::copy(QStringLiteral("/bin/true"), hidden));
        QCOMPARE(chmod(QFile::encodeName(hidden).constData(), 0111), 0);
        QVERIFY(setReadOverride(false));
        QFile probe(hidden);
        const bool readable = probe.open(QIODevice::ReadOnly);
        const bool started = view->runProgram(hidden);
        QVERIFY(setReadOverride(true));
        QVERIFY(!readable);
        QVERIFY(started);

        QVERIFY(allCollected());
        QVERIFY(driver.seen.isEmpty());
        QFile::remove(Log);
        QTest::qWait(200);
        QVERIFY(!QFile::exists(Log)); // the bash script never ran
    }

    void startsTheFileThatWasChecked()
    {
        ModalDriver driver;
        // A script named like a command on the search path is not what a
        // bare name means: ls comes from the search path, and the file
        // here neither runs nor, as plain text, blocks the command.
        QVERIFY(writeFile(Scratch + QStringLiteral("/ls"), loggingScript(), Executable));
        QVERIFY(view->runProgram(QStringLiteral("ls -d /")));
        QVERIFY(allCollected());
        QCOMPARE(driver.seen.size(), 1);
        QCOMPARE(driver.seen[0].title, QStringLiteral("Program output"));
        QCOMPARE(driver.seen[0].text, QStringLiteral("/"));
        QVERIFY(!QFile::exists(Log));
        QVERIFY(writeFile(Scratch + QStringLiteral("/ls"), "not a program at all\n", Executable));
        QVERIFY(view->runProgram(QStringLiteral("ls -d /")));
        QVERIFY(allCollected());
        QCOMPARE(driver.seen.size(), 2);
        // Named as a file, it is checked and refused.
        QVERIFY(!view->runProgram(QStringLiteral("./ls -d /")));

        // A bare name found nowhere on the search path is the file here.
        QVERIFY(writeFile(Scratch + QStringLiteral("/here-only"), loggingScript(), Executable));
        QVERIFY(view->runProgram(QStringLiteral("here-only")));
        QTRY_COMPARE(readFile(Log), QByteArray("./here-only"));
        QVERIFY(allCollected());

        // The working directory moved away: the second attempt runs the
        // file in the shown directory, after the same check.
        QVERIFY(writeFile(Scratch + QStringLiteral("/prog"), loggingScript(), Executable));
        QVERIFY(writeFile(Scratch + QStringLiteral("/text"), "plain words, no program\n",
                          Executable));
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        QFile::remove(Log);
        QVERIFY(view->runProgram(QStringLiteral("prog")));
        QTRY_COMPARE(readFile(Log), (Scratch + QStringLiteral("/prog")).toUtf8());
        QVERIFY(!view->runProgram(QStringLiteral("text")));
        QVERIFY(!view->runProgram(QStringLiteral("no-such-program-anywhere")));
        QVERIFY(allCollected());
    }

    void startRemembersTheRow()
    {
        QVERIFY(writeFile(Scratch + QStringLiteral("/prog"), loggingScript(), Executable));
        const QModelIndex row = view->model->index(Scratch + QStringLiteral("/prog"));
        QVERIFY(row.isValid());
        view->setCurrentIndex(row);
        QVERIFY(!view->rememberedIndex.isValid());
        QVERIFY(!view->runProgram(QStringLiteral("no-such-program-anywhere")));
        QVERIFY(!view->rememberedIndex.isValid());
        QVERIFY(view->runProgram(QStringLiteral("./prog")));
        QCOMPARE(QModelIndex(view->rememberedIndex), row);
        QVERIFY(allCollected());
    }

    void progFinishedShowsOutputAndCleansUp()
    {
        ModalDriver driver;
        // One character, or nothing: no window; two or more: a window.
        QVERIFY(view->runProgram(QStringLiteral("printf x")));
        QPointer<QProcess> quiet = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("true")));
        QVERIFY(allCollected());
        QTRY_VERIFY(quiet.isNull());
        QVERIFY(driver.seen.isEmpty());

        // A program still running stays in the list while another ends and
        // is reported; standard error comes along.
        QVERIFY(view->runProgram(QStringLiteral("sleep 30")));
        QPointer<QProcess> sleeper = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("sh -c \"echo out; echo err >&2\"")));
        QTRY_COMPARE(driver.seen.size(), 1);
        QCOMPARE(driver.seen[0].title, QStringLiteral("Program output"));
        QCOMPARE(driver.seen[0].text, QStringLiteral("out\nerr"));
        QTRY_COMPARE(view->runningProcesses.size(), 1);
        QCOMPARE(view->runningProcesses.first(), sleeper.data());

        // Several programs that ended meanwhile are reported one after another.
        QVERIFY(view->runProgram(QStringLiteral("echo first")));
        QVERIFY(view->runProgram(QStringLiteral("echo second")));
        QTRY_COMPARE(driver.seen.size(), 3);
        QStringList texts{ driver.seen[1].text, driver.seen[2].text };
        texts.sort();
        QCOMPARE(texts, QStringList({ QStringLiteral("first"), QStringLiteral("second") }));
        QTRY_COMPARE(view->runningProcesses.size(), 1);

        // One that never ends goes with the view.
        delete view;
        view = nullptr;
        QVERIFY(sleeper.isNull());
        view = new TestView;
    }

    void outputWindowShowsLastLines()
    {
        ModalDriver driver;
        QByteArray hundred;
        for (int i = 1; i <= 100; ++i)
            hundred += "line " + QByteArray::number(i) + '\n';
        QBuffer buffer;
        buffer.setData(hundred + "\n\n");
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        showOutputWindow(&buffer, QStringLiteral("Program output"));
        QCOMPARE(driver.seen.size(), 1);
        QStringList expected;
        for (int i = 44; i <= 100; ++i)
            expected << QStringLiteral("line %1").arg(i);
        QCOMPARE(driver.seen[0].text, expected.join(QLatin1Char('\n')));
        QCOMPARE(driver.seen[0].title, QStringLiteral("Program output"));
        QCOMPARE(driver.seen[0].font.family(), QStringLiteral("Bitstream Vera Sans Mono"));
        QCOMPARE(driver.seen[0].font.pointSize(), 15);
        QVERIFY(driver.seen[0].font.fixedPitch());
        QVERIFY(!(driver.seen[0].flags & Qt::WindowContextHelpButtonHint));

        // Exactly 57 lines stay whole, and so does the start of a text
        // whose lines are all empty but the first.
        QBuffer exact;
        exact.setData(expected.join(QLatin1Char('\n')).toUtf8() + "\n");
        QVERIFY(exact.open(QIODevice::ReadOnly));
        showOutputWindow(&exact, QStringLiteral("File contents"));
        QCOMPARE(driver.seen[1].text, expected.join(QLatin1Char('\n')));
        QBuffer feeds;
        feeds.setData("top" + QByteArray(80, '\n'));
        QVERIFY(feeds.open(QIODevice::ReadOnly));
        showOutputWindow(&feeds, QStringLiteral("File contents"));
        QCOMPARE(driver.seen[2].text, QStringLiteral("top"));
        // Markup is shown as it is.
        QBuffer markup;
        markup.setData("<b>bold</b>");
        QVERIFY(markup.open(QIODevice::ReadOnly));
        showOutputWindow(&markup, QStringLiteral("File contents"));
        QCOMPARE(driver.seen[3].text, QStringLiteral("<b>bold</b>"));
    }

    void runCommandSyncOutput()
    {
        QCOMPARE(runCommandSync(QStringLiteral("sh -c \"echo out; echo err >&2; echo end\"")),
                 QStringLiteral("out\nerr\nend\n"));
        QCOMPARE(runCommandSync(QStringLiteral("no-such-program-anywhere")), QString());
        QCOMPARE(runCommandSync(QStringList{ QStringLiteral("printf"), QStringLiteral("%s"),
                                             QStringLiteral("a \"b\" $HOME `id`") }),
                 QStringLiteral("a \"b\" $HOME `id`"));
    }

    // Waits the full 30 seconds once.
    void runCommandSyncIsBounded()
    {
        QElapsedTimer clock;
        clock.start();
        const QString output = runCommandSync(
            QStringLiteral("sh -c \"echo $$; exec sleep 100\""));
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 29500 && elapsed < 45000, qPrintable(QString::number(elapsed)));
        bool ok = false;
        const int pid = output.trimmed().toInt(&ok);
        QVERIFY2(ok, qPrintable(output));
        // Ended and collected with the process object.
        QVERIFY(!QFile::exists(QStringLiteral("/proc/%1").arg(pid)));
    }
};

QTEST_MAIN(TestPrograms)
#include "tst_programs_run.moc"
