#include "fileops/progressline.h"
#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "support/views.h"

#include <QMenu>
#include <QSignalSpy>

#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace support;

namespace {

const QString Work = QStringLiteral("/tmp/lirro_engine");
const QString Small = QStringLiteral("/mnt/small");
const QString Big = QStringLiteral("/mnt/big");

QString p(const QString& relative)
{
    return Work + QLatin1Char('/') + relative;
}

using Action = std::function<void()>;

// The owner in front of the view: answers the overwrite questions from a
// queue (Cancel when none is left) and reads every failure message.
class OwnerView : public TestView
{
public:
    QList<QMessageBox::StandardButton> answers;
    QStringList questions; // title, text and whether the device was busy
    QList<QMessageBox::StandardButtons> buttons;
    QStringList failures;
    Action whileAsked;

    void run(OperationKind kind, const QStringList& paths, const QString& targetDir,
             const QString& newName = QString())
    {
        setDirectory(targetDir);
        clipboardPaths = paths;
        performOperation(kind, newName);
        // Back to idle, completed or stopped.
        QVERIFY(clipboardPaths.isEmpty() && operationKind == NoOperation && !multiSelect);
        QVERIFY(!operationRunning() && !sys::SysStatus::instance().systemBusy() && model->isReadOnly());
    }

private:
    int askOverwrite(const QString& title, const QString& text, QMessageBox::StandardButtons offered) override
    {
        questions << title + " | " + text + (sys::SysStatus::instance().systemBusy() ? " | busy" : "");
        buttons << offered;
        if (whileAsked)
            whileAsked();
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    }
    void showFailure(const QString& text) override { failures.append(text); }
};

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(OperationKind)

class TestEngine : public QObject
{
    Q_OBJECT

    OwnerView* view = nullptr;

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void init()
    {
        QVERIFY(freshDir(Work));
        view = new OwnerView;
    }

    void cleanup() { delete view; }

    // A copy is the tree again: bytes, modes, times, link texts as they read.
    void copyAndCount()
    {
        QVERIFY(writeFile(p("src/a.txt"), "alpha", 0640) && writeFile(p("src/.hidden"), "h", 0600));
        QVERIFY(writeFile(p("src/sub/deep/b.bin"), QByteArray(200000, 'b'), 0444) && writeFile(p("src/private/x"), "x", 0664));
        QVERIFY(::chmod(QFile::encodeName(p("src/private")).constData(), 0700) == 0 && QDir().mkpath(p("src/sub/emptydir")));
        QVERIFY(QDir().mkpath(p("dst")) && QFile::link(p("src/a.txt"), p("src/link")) && QFile::link("a.txt", p("src/rel")));
        QVERIFY(QFile::link(QStringLiteral("nowhere"), p("src/dangling")));
        view->multiSelect = true;
        QSignalSpy titles(view, &FS_VIEW::pathChanged);
        view->run(CopyOperation, { p("src") }, p("dst"));
        QCOMPARE(titles.size(), 1); // entering dst; a short operation shows no line
        QCOMPARE(treeOf(p("dst/src")), treeOf(p("src")));
        QCOMPARE(statusOf(p("dst/src")), statusOf(p("src")));

        // Every item at every depth (a link as what it leads to), the bytes
        // of files; nothing changes.
        const QMap<QString, QByteArray> before = treeOf(Work);
        view->run(CountOperation, { p("src") }, p("dst"));
        QCOMPARE(QString("%1 %2 %3").arg(view->totals().dirs).arg(view->totals().files).arg(view->totals().bytes),
                 QStringLiteral("5 6 200007"));
        QCOMPARE(treeOf(Work), before);
        QCOMPARE(view->failures, QStringList());
    }

    // One medium: the tree itself renamed in one step, pipe and all, and a
    // delete takes everything, as rm -r does. Across media (names a shell
    // would take apart among the items): copied with modes and times, the
    // copies synced to the medium, and only then the sources go.
    void moveAndDelete()
    {
        QVERIFY(writeFile(p("a/f1"), "one", 0600) && writeFile(p("a/s/f2"), "two", 0751));
        QVERIFY(::mkfifo(QFile::encodeName(p("a/s/pipe")).constData(), 0640) == 0);
        QVERIFY(::mknod(QFile::encodeName(p("a/null")).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0);
        const ino_t dir = inodeOf(p("a"));
        const QMap<QString, QString> status = statusOf(p("a"));
        view->run(MoveOperation, { p("a") }, Work, QStringLiteral("b"));
        QCOMPARE(inodeOf(p("b")), dir);
        QCOMPARE(statusOf(p("b")), status);
        view->run(DeleteOperation, { p("b") }, Work);
        QVERIFY(!QFileInfo::exists(p("b")));

        QVERIFY(mountTmpfs(Small, "1m") && mountTmpfs(Big, "4m"));
        QVERIFY(writeFile(Big + "/t/f1", QByteArray(300000, 'x'), 0640) && writeFile(Big + "/t/s/f2", "two", 0751));
        QVERIFY(QFile::link(QStringLiteral("../f1"), Big + "/t/s/rel") && writeFile(Big + "/single", "s", 0604));
        QStringList sources{ Big + "/t", Big + "/single" };
        for (const char* name : { "with blank", "say \"hi\"", "$HOME", "`reboot`", "-rf", "line\nfeed", "*", "-d" }) {
            sources << Big + '/' + name;
            QVERIFY(writeFile(sources.last(), name));
        }
        const QMap<QString, QByteArray> tree = treeOf(Big);
        const QMap<QString, QString> modes = statusOf(Big);
        HelperProcess strace;
        QVERIFY(strace.start(QStringLiteral("strace"), { "-e", "trace=syncfs,fsync,unlinkat", "-o", p("trace"),
                                                         "-p", QString::number(::getpid()) }, "attached"));
        view->run(MoveOperation, sources, Small);
        strace.stop();
        const QString trace = QString::fromUtf8(readFile(p("trace")));
        const int sync = trace.indexOf(QRegularExpression(QStringLiteral("(syncfs|fsync)\\(")));
        QVERIFY2(sync >= 0 && trace.indexOf(QStringLiteral("unlinkat(")) > sync, qPrintable(trace));
        QCOMPARE(treeOf(Small), tree);
        QCOMPARE(statusOf(Small), modes);
        QCOMPARE(treeOf(Big), (QMap<QString, QByteArray>()));
        QCOMPARE(view->failures, QStringList());
    }

    void overwritePrompt()
    {
        QVERIFY(writeFile(p("s/a"), "new a") && writeFile(p("s/b"), "new b") && writeFile(p("s/c"), "new c"));
        auto reset = [] { QVERIFY(writeFile(p("t/a"), "old a") && writeFile(p("t/b"), "old b") && writeFile(p("t/c"), "old c")); };
        auto targets = [] { return readFile(p("t/a")) + readFile(p("t/b")) + readFile(p("t/c")); };
        const QStringList all = { p("s/a"), p("s/b"), p("s/c") };
        // No skips a file and goes on; Yes overwrites; the device may rest
        // only while the owner is asked.
        reset();
        view->answers = { QMessageBox::No, QMessageBox::Yes, QMessageBox::No };
        view->run(CopyOperation, all, p("t"));
        QCOMPARE(targets(), QByteArray("old anew bold c"));
        QCOMPARE(view->questions.first(), "Copying file " + p("s/a") + " | '" + p("t/a") + "'' already exists.\nOverwrite?");
        QCOMPARE(view->buttons.first(), QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel);
        // Cancel stops; Yes to All asks once per operation.
        reset();
        view->answers = { QMessageBox::Cancel, QMessageBox::YesToAll };
        view->run(CopyOperation, all, p("t"));
        QCOMPARE(targets(), QByteArray("old aold bold c"));
        view->run(CopyOperation, all, p("t"));
        QCOMPARE(targets(), QByteArray("new anew bnew c"));
        QCOMPARE(view->questions.size(), 5);
        // A dangling link in the target's place is replaced, not written through.
        QVERIFY(QFile::remove(p("t/a")) && QFile::link(p("outside"), p("t/a")));
        view->answers = { QMessageBox::Yes };
        view->run(CopyOperation, { p("s/a") }, p("t"));
        QVERIFY(!QFileInfo(p("t/a")).isSymLink() && !QFileInfo::exists(p("outside")));
        // A move offers no No; Cancel leaves both; Yes replaces, the source goes.
        reset();
        view->answers = { QMessageBox::Cancel, QMessageBox::Yes };
        view->run(MoveOperation, { p("s/a") }, p("t"));
        QCOMPARE(readFile(p("s/a")) + readFile(p("t/a")), QByteArray("new aold a"));
        view->run(MoveOperation, { p("s/a") }, p("t"));
        QCOMPARE(readFile(p("s/a")) + readFile(p("t/a")), QByteArray("<missing>new a"));
        QVERIFY(view->questions.last().startsWith("Moving file " + p("s/a")));
        QCOMPARE(view->buttons.last(), QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel);
        QCOMPARE(view->questions.filter(QStringLiteral("busy")), QStringList());
        QCOMPARE(view->failures + treeOf(Work).keys().filter(QStringLiteral(".lirro-")), QStringList());
    }

    void neverOntoItself()
    {
        QVERIFY(writeFile(p("d/f"), "keep me") && writeFile(p("d/sub/g"), "and me") && writeFile(p("other"), "o"));
        QVERIFY(QFile::link(p("d"), p("alias")) && QFile::link(p("d/f"), p("d/lnk")));
        const QMap<QString, QByteArray> before = treeOf(p("d"));
        view->answers = { QMessageBox::Yes, QMessageBox::Yes };
        view->run(CopyOperation, { p("d/f"), p("d/sub") }, p("d"));
        view->run(MoveOperation, { p("d/f") }, p("d"));
        view->run(CopyOperation, { p("other"), p("d") }, p("d/sub"));
        view->run(CopyOperation, { p("d") }, p("alias/sub"));
        view->run(CopyOperation, { p("d/lnk") }, p("d"), QStringLiteral("f"));
        const QString reason = QStringLiteral(" failed\nThe target is the item itself or lies inside it");
        QCOMPARE(view->failures, QStringList({ "Copying item \"f\"" + reason, "Moving item \"f\"" + reason,
                                              "Copying item \"d\"" + reason, "Copying item \"d\"" + reason,
                                              "Copying item \"lnk\"" + reason }));
        QCOMPARE(treeOf(p("d")), before);
        QVERIFY(view->questions.isEmpty());
        // A name that differs only in case is the item itself on a medium
        // that ignores case (here a second link of the file stands for it):
        // the kernel renames it in place.
        QVERIFY(::link(QFile::encodeName(p("d/f")).constData(), QFile::encodeName(p("d/F")).constData()) == 0);
        view->run(MoveOperation, { p("d/f") }, p("d"), QStringLiteral("F"));
        QCOMPARE(view->failures.size(), 5);
    }

    // Every failure: one message naming the item and the reason; nothing
    // lost: the sources with their bytes and modes (a move's here or whole
    // there), the targets that were there, only whole copies beside them,
    // and no temporary files.
    void nothingLost_data()
    {
        QTest::addColumn<OperationKind>("kind");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<Action>("setup");
        QTest::addColumn<Action>("whileAsked");
        QTest::addColumn<QString>("message");
        const Action old = [] { QVERIFY(writeFile(Small + "/huge", "old huge")); };
        const Action readOnly = [] { QVERIFY(QProcess::execute("mount", { "-o", "remount,ro", Small }) == 0); };
        const QString full = QStringLiteral(" item \"huge\" failed\nNo space left on device");
        const QString special = QStringLiteral(" failed\nNot a file, a directory or a link");
        QTest::newRow("copy, full medium") << CopyOperation << "/d/huge" << Small << Action() << Action() << "Copying" + full;
        QTest::newRow("move, full medium") << MoveOperation << "/d/huge" << Small << Action() << Action() << "Moving" + full;
        QTest::newRow("tree move, full medium") << MoveOperation << "/d" << Small << Action() << Action() << "Moving" + full;
        QTest::newRow("replacing, full medium") << CopyOperation << "/d/huge" << Small << old << Action() << "Copying" + full;
        QTest::newRow("read-only while asked") << MoveOperation << "/d/huge" << Small << old << readOnly
                                               << "Moving item \"huge\" failed\nRead-only file system";
        QTest::newRow("pipe in a tree") << CopyOperation << "/t" << Small << Action([] {
            QVERIFY(::mkfifo(QFile::encodeName(Big + "/t/z/pipe").constData(), 0644) == 0);
        }) << Action() << "Copying item \"pipe\"" + special;
        QTest::newRow("device in a tree") << MoveOperation << "/t" << Small << Action([] {
            QVERIFY(::mknod(QFile::encodeName(Big + "/t/null").constData(), S_IFCHR | 0644, makedev(1, 3)) == 0);
        }) << Action() << "Moving item \"null\"" + special;
        QTest::newRow("directory gone before Paste") << MoveOperation << "/t" << Small + "/gone" << Action()
            << Action() << QStringLiteral("Moving item \"t\" failed\nThe directory %1/gone no longer exists").arg(Small);
        QTest::newRow("missing item") << DeleteOperation << "/gone" << Big << Action() << Action()
                                      << QStringLiteral("Deleting item \"gone\" failed\nNo such file or directory");
    }

    void nothingLost()
    {
        QFETCH(OperationKind, kind);
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(Action, setup);
        QFETCH(Action, whileAsked);
        QVERIFY(mountTmpfs(Small, "1m") && mountTmpfs(Big, "8m"));
        QVERIFY(writeFile(Big + "/d/first", QByteArray(100000, '1'), 0640)
                && writeFile(Big + "/d/huge", QByteArray(3 * 1024 * 1024, 'B'), 0604));
        QVERIFY(writeFile(Big + "/t/a", "a") && writeFile(Big + "/t/z/b", "b", 0600));
        if (setup)
            setup();
        const QMap<QString, QByteArray> sources = treeOf(Big);
        const QMap<QString, QString> status = statusOf(Big);
        const QMap<QString, QByteArray> targets = treeOf(Small);
        view->answers = { QMessageBox::Yes };
        view->whileAsked = whileAsked;
        QVERIFY(QDir().mkpath(target) && view->setDirectory(target));
        QVERIFY(!target.endsWith(QLatin1String("gone")) || QDir(target).removeRecursively());
        view->run(kind, { Big + source }, target);
        QTEST(view->failures.join(QLatin1Char('|')), "message");
        // No temporary files left behind.
        QCOMPARE((treeOf(Small).keys() + treeOf(Big).keys()).filter(QStringLiteral(".lirro-")), QStringList());
        QVERIFY(!QFileInfo::exists("/t") && !QFileInfo::exists("/huge"));
        const QMap<QString, QByteArray> sourcesNow = treeOf(Big);
        const QMap<QString, QByteArray> targetsNow = treeOf(Small);
        // The targets that were there as they were; anything new a whole copy.
        for (const QString& key : targets.keys() + targetsNow.keys())
            QVERIFY2(targets.contains(key) ? targetsNow.value(key) == targets.value(key)
                                           : sources.values().contains(targetsNow.value(key)), qPrintable(key));
        const QMap<QString, QString> statusNow = statusOf(Big);
        for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
            if (!sourcesNow.contains(it.key())) // moved: whole at the target
                QVERIFY2(kind == MoveOperation && targetsNow.values().contains(it.value()), qPrintable(it.key()));
            else if (!it.key().endsWith(QLatin1Char('/')))
                QCOMPARE(sourcesNow.value(it.key()) + statusNow.value(it.key()).toUtf8(),
                         it.value() + status.value(it.key()).toUtf8());
        }
    }

    void linksUnderMedia()
    {
        const QString media = QStringLiteral("/media/flash/lirro_links");
        QVERIFY(freshDir(media + "/t") && writeFile(media + "/file", "f"));
        QVERIFY(QFile::link(media + "/file", media + "/link") && QFile::link(p("nowhere"), p("dangling")));
        // Deleted, or copied or moved to the device's media: left alone, and
        // the operation goes on as a success.
        view->run(DeleteOperation, { media + "/link", media + "/file" }, media);
        view->run(CopyOperation, { p("dangling") }, media + "/t");
        view->run(MoveOperation, { p("dangling") }, media + "/t");
        QVERIFY(QFileInfo(media + "/link").isSymLink() && !QFileInfo::exists(media + "/file"));
        QVERIFY(QFileInfo(p("dangling")).isSymLink() && treeOf(media + "/t").isEmpty());
        QVERIFY(QDir(media).removeRecursively() && view->failures.isEmpty());
    }

    void rateTable_data()
    {
        QTest::addColumn<qint64>("bytes"); // in three seconds
        QTest::addColumn<QString>("rate");
        QTest::newRow("MB, two decimals") << qint64(4838709) << "1.54 MB/sec.";
        QTest::newRow("1 MiB edge") << qint64(3 * 1048576) << "1.00 MB/sec.";
        QTest::newRow("whole KB below it") << qint64(3 * 1048575) << "1023 KB/sec.";
        QTest::newRow("KB, one decimal") << qint64(3 * 102399) << "100.0 KB/sec.";
        QTest::newRow("bytes, truncated") << qint64(3 * 1023 + 2) << "1023 bytes/sec.";
        QTest::newRow("no grouping") << qint64(3) * 5000 * 1048576 << "5000.00 MB/sec.";
    }

    void rateTable()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, rate);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(progressLine(1234, 56789, true, bytes, 3000), "dirs: 1234, files: 56789, transfer rate: " + rate);
        QCOMPARE(progressLine(20, 100, false, bytes, 4000), QStringLiteral("dirs: 20, files: 100, rate: 30 items/sec."));
        QLocale::setDefault(QLocale::c());
    }

    // An operation that outlasts three seconds (here the owner takes that
    // long over a question) shows a line as the copy goes on, with the
    // device busy, and the path again at its end. Nothing starts meanwhile:
    // no menu, no other command, no program's output window.
    void longOperation()
    {
        QVERIFY(writeFile(p("s/a"), "new a") && writeFile(p("s/b"), "new b") && writeFile(p("t/a"), "old a"));
        view->show();
        QVERIFY(showDirectory(*view, p("s")));
        view->selectionModel()->select(indexOf(*view, "b"), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QStringList titles;
        connect(view, &FS_VIEW::pathChanged, this, [&](const QString& title) {
            titles << title + (sys::SysStatus::instance().systemBusy() ? " | busy" : "");
        });
        ModalDriver modals;
        bool menuOpened = false;
        QTimer* menuWatch = whenMenuOpens([&](QMenu* menu) { menuOpened = true; menu->hide(); });
        view->answers = { QMessageBox::Yes };
        view->whileAsked = [&] {
            QVERIFY(view->runProgram(QStringLiteral("echo finished meanwhile")));
            QElapsedTimer clock;
            clock.start();
            QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() > 3100; }, 5000));
            emit sys::SysStatus::instance().mouseLongPress(QPoint(10, 10), QSize());
            QVERIFY(view->actionMenu());
            view->actionCut();
            view->actionDelete();
            view->performOperation(DeleteOperation, QString());
        };
        view->clipboardPaths = QStringList{ p("s/a"), p("s/b") };
        view->operationKind = CopyOperation;
        QVERIFY(view->setDirectory(p("t")));
        titles.clear();
        view->actionPaste();
        QVERIFY(modals.seen.isEmpty() && !menuOpened);
        delete menuWatch;
        QCOMPARE(titles, QStringList({ "dirs: 0, files: 1, transfer rate: 1 bytes/sec. | busy", p("t") }));
        QCOMPARE(readFile(p("t/a")) + readFile(p("t/b")) + readFile(p("s/b")), QByteArray("new anew bnew b"));
        QVERIFY(modals.waitSeen(1)); // the output waited for the end
        QCOMPARE(modals.seen.first().text, QStringLiteral("finished meanwhile"));
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
