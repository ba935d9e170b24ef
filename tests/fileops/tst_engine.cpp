#include "fileops/progressline.h"
#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/modal.h"
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
    struct Question
    {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        bool busy;
    };
    QList<QMessageBox::StandardButton> answers;
    QList<Question> questions;
    QStringList failures;
    // Runs while a question waits for its answer.
    Action whileAsked;

    void run(OperationKind kind, const QStringList& paths, const QString& targetDir,
             const QString& newName = QString())
    {
        setDirectory(targetDir);
        clipboardPaths = paths;
        performOperation(kind, newName);
    }

private:
    int askOverwrite(const QString& title, const QString& text,
                     QMessageBox::StandardButtons buttons) override
    {
        questions.append({ title, text, buttons, sys::SysStatus::instance().systemBusy() });
        if (whileAsked)
            whileAsked();
        return answers.isEmpty() ? QMessageBox::Cancel : answers.takeFirst();
    }
    void showFailure(const QString& text) override { failures.append(text); }
};

// Back to idle after every operation, completed or stopped.
void checkIdle(const OwnerView& view)
{
    QVERIFY(view.clipboardPaths.isEmpty());
    QCOMPARE(int(view.operationKind), int(NoOperation));
    QVERIFY(!view.multiSelect);
    QVERIFY(!view.operationRunning());
    QVERIFY(!sys::SysStatus::instance().systemBusy());
    QVERIFY(view.model->isReadOnly());
}

QMap<QString, QByteArray> treesOf(const QStringList& roots)
{
    QMap<QString, QByteArray> trees;
    for (const QString& root : roots)
        trees.insert(treeOf(root));
    return trees;
}

QMap<QString, QString> statusOf(const QStringList& roots)
{
    QMap<QString, QString> status;
    for (const QString& root : roots)
        status.insert(support::statusOf(root));
    return status;
}

// Names the engine's temporary files leave behind.
QStringList strays(const QString& root)
{
    QStringList found;
    for (const QString& path : treeOf(root).keys())
        if (path.contains(QLatin1String(".lirro-")))
            found << path;
    return found;
}

bool remount(const QString& path, const char* mode)
{
    return QProcess::execute(QStringLiteral("mount"),
                             { QStringLiteral("-o"), QStringLiteral("remount,") + mode, path }) == 0;
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(OperationKind)

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void init() { QVERIFY(freshDir(Work)); }

    // A copy is the tree again: bytes, modes, times, link texts as they read.
    void copyKeepsEverything()
    {
        QVERIFY(writeFile(p("src/a.txt"), "alpha", 0640));
        QVERIFY(writeFile(p("src/tool"), "#!/bin/sh\n", 0755));
        QVERIFY(writeFile(p("src/.hidden"), "h", 0600));
        QVERIFY(writeFile(p("src/sub/deep/b.bin"), QByteArray(200000, 'b'), 0444));
        QVERIFY(writeFile(p("src/private/x"), "x", 0664));
        QVERIFY(::chmod(QFile::encodeName(p("src/private")).constData(), 0700) == 0);
        QVERIFY(QDir().mkpath(p("src/sub/emptydir")));
        QVERIFY(QFile::link(p("src/a.txt"), p("src/link")));
        QVERIFY(QFile::link(QStringLiteral("a.txt"), p("src/rel")));
        QVERIFY(QFile::link(QStringLiteral("nowhere"), p("src/dangling")));
        QVERIFY(QDir().mkpath(p("dst")));

        OwnerView view;
        view.multiSelect = true;
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        view.run(CopyOperation, { p("src") }, p("dst"));
        checkIdle(view);
        QCOMPARE(titles.size(), 1); // entering dst; a short operation shows no line
        QCOMPARE(view.failures, QStringList());
        QCOMPARE(treeOf(p("dst/src")), treeOf(p("src")));
        QCOMPARE(statusOf(p("dst/src")), statusOf(p("src")));
        QCOMPARE(view.totals().bytes, qint64(5 + 10 + 1 + 200000 + 1));

        // Counting: every item at every depth (a link as what it leads to),
        // the bytes of files; nothing changes.
        const QMap<QString, QByteArray> before = treeOf(p("src"));
        view.run(CountOperation, { p("src") }, p("dst"));
        checkIdle(view);
        QCOMPARE(view.totals().dirs, 5); // src sub deep emptydir private
        QCOMPARE(view.totals().files, 7); // a.txt tool .hidden b.bin x link rel, not dangling
        QCOMPARE(view.totals().bytes, qint64(200017));
        QCOMPARE(treeOf(p("src")), before);
        view.clipboardPaths = QStringList{ p("src") };
        view.performOperation(NoOperation, QString());
        QCOMPARE(view.clipboardPaths.size(), 1);
    }

    void moveWithinAndAcrossMedia()
    {
        QVERIFY(writeFile(p("a/f1"), "one", 0600));
        QVERIFY(writeFile(p("a/s/f2"), "two", 0751));
        QVERIFY(::mkfifo(QFile::encodeName(p("a/s/pipe")).constData(), 0640) == 0);
        const ino_t dir = inodeOf(p("a"));
        const QMap<QString, QString> stats = statusOf(p("a"));
        OwnerView view;
        // One medium: the tree itself renamed in one step, a pipe and all.
        view.run(MoveOperation, { p("a") }, Work, QStringLiteral("b"));
        checkIdle(view);
        QVERIFY(!QFileInfo::exists(p("a")));
        QCOMPARE(inodeOf(p("b")), dir);
        QCOMPARE(statusOf(p("b")), stats);

        // Across media: copied, then the sources go; modes and times kept.
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m1"), QStringLiteral("4m")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m2"), QStringLiteral("4m")));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/f1"), QByteArray(300000, 'x'), 0640));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/s/f2"), "two", 0751));
        QVERIFY(QFile::link(QStringLiteral("../f1"), QStringLiteral("/mnt/m1/t/s/rel")));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/single"), "s", 0604));
        const QMap<QString, QByteArray> tree = treeOf(QStringLiteral("/mnt/m1"));
        const QMap<QString, QString> modes = statusOf(QStringLiteral("/mnt/m1"));
        view.run(MoveOperation, { QStringLiteral("/mnt/m1/t"), QStringLiteral("/mnt/m1/single") },
                 QStringLiteral("/mnt/m2"));
        checkIdle(view);
        QCOMPARE(view.failures, QStringList());
        QCOMPARE(treeOf(QStringLiteral("/mnt/m2")), tree);
        QCOMPARE(statusOf(QStringLiteral("/mnt/m2")), modes);
        QCOMPARE(treeOf(QStringLiteral("/mnt/m1")), (QMap<QString, QByteArray>()));
    }

    // The copies of a move across media reach the medium before a source goes.
    void moveSyncsBeforeRemoving()
    {
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m1"), QStringLiteral("1m")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m2"), QStringLiteral("1m")));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/a"), "a"));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/b"), "b"));
        const QString log = p("trace");
        QProcess strace;
        strace.start(QStringLiteral("strace"), { QStringLiteral("-e"), QStringLiteral("trace=syncfs,fsync,unlinkat"),
                                                 QStringLiteral("-o"), log, QStringLiteral("-p"),
                                                 QString::number(::getpid()) });
        QByteArray said;
        QVERIFY(QTest::qWaitFor([&] { return (said += strace.readAllStandardError()).contains("attached"); }, 10000));
        OwnerView view;
        view.run(MoveOperation, { QStringLiteral("/mnt/m1/t") }, QStringLiteral("/mnt/m2"));
        strace.terminate();
        QVERIFY(strace.waitForFinished(10000));
        const QString trace = QString::fromUtf8(readFile(log));
        const int sync = trace.indexOf(QRegularExpression(QStringLiteral("(syncfs|fsync)\\(")));
        const int unlink = trace.indexOf(QStringLiteral("unlinkat("));
        QVERIFY2(sync >= 0 && unlink > sync, qPrintable(trace));
    }

    void overwritePrompt()
    {
        QVERIFY(writeFile(p("s/a"), "new a"));
        QVERIFY(writeFile(p("s/b"), "new b"));
        QVERIFY(writeFile(p("s/c"), "new c"));
        auto reset = [] {
            for (const char* name : { "a", "b", "c" })
                QVERIFY(writeFile(p("t/") + name, QByteArray("old ") + name));
        };
        const QStringList all = { p("s/a"), p("s/b"), p("s/c") };
        OwnerView view;

        // No skips one file and goes on; Yes overwrites; the device may rest
        // only while the owner is asked.
        reset();
        view.answers = { QMessageBox::No, QMessageBox::Yes, QMessageBox::No };
        view.run(CopyOperation, all, p("t"));
        checkIdle(view);
        QCOMPARE(view.questions.size(), 3);
        QCOMPARE(view.questions.first().title, "Copying file " + p("s/a"));
        QCOMPARE(view.questions.first().text, "'" + p("t/a") + "'' already exists.\nOverwrite?");
        QCOMPARE(view.questions.first().buttons,
                 QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel);
        QVERIFY(!view.questions.first().busy);
        QCOMPARE(readFile(p("t/a")) + readFile(p("t/b")) + readFile(p("t/c")),
                 QByteArray("old anew bold c"));

        // Cancel stops; Yes to All asks once per operation.
        reset();
        view.questions.clear();
        view.answers = { QMessageBox::Cancel };
        view.run(CopyOperation, all, p("t"));
        QCOMPARE(view.questions.size(), 1);
        QCOMPARE(readFile(p("t/c")), QByteArray("old c"));
        view.answers = { QMessageBox::YesToAll };
        view.run(CopyOperation, all, p("t"));
        QCOMPARE(view.questions.size(), 2);
        QCOMPARE(readFile(p("t/c")), QByteArray("new c"));
        reset();
        view.answers = { QMessageBox::No, QMessageBox::No, QMessageBox::No };
        view.run(CopyOperation, all, p("t"));
        QCOMPARE(view.questions.size(), 5);
        QCOMPARE(readFile(p("t/a")), QByteArray("old a"));

        // A dangling link in the target's place is replaced, not written through.
        QVERIFY(QFile::remove(p("t/a")) && QFile::link(p("outside"), p("t/a")));
        view.answers = { QMessageBox::Yes };
        view.run(CopyOperation, { p("s/a") }, p("t"));
        QCOMPARE(readFile(p("t/a")), QByteArray("new a"));
        QVERIFY(!QFileInfo(p("t/a")).isSymLink() && !QFileInfo::exists(p("outside")));

        // A move offers no No; Cancel leaves both; Yes replaces and the source goes.
        reset();
        view.questions.clear();
        view.answers = { QMessageBox::Cancel, QMessageBox::Yes };
        view.run(MoveOperation, { p("s/a") }, p("t"));
        QCOMPARE(view.questions.first().title, "Moving file " + p("s/a"));
        QCOMPARE(view.questions.first().buttons,
                 QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel);
        QCOMPARE(readFile(p("s/a")) + readFile(p("t/a")), QByteArray("new aold a"));
        view.run(MoveOperation, { p("s/a") }, p("t"));
        QVERIFY(!QFileInfo::exists(p("s/a")));
        QCOMPARE(readFile(p("t/a")), QByteArray("new a"));
        QCOMPARE(view.failures, QStringList());
        QCOMPARE(strays(Work), QStringList());
        checkIdle(view);
    }

    void neverOntoItself()
    {
        QVERIFY(writeFile(p("d/f"), "keep me"));
        QVERIFY(writeFile(p("d/sub/g"), "and me"));
        QVERIFY(QFile::link(p("d"), p("alias")));
        QVERIFY(QFile::link(p("d/f"), p("d/lnk")));
        QVERIFY(writeFile(p("other"), "o"));
        const QMap<QString, QByteArray> before = treeOf(p("d"));
        const QString reason = QStringLiteral("\nThe target is the item itself or lies inside it");
        OwnerView view;
        view.answers = { QMessageBox::Yes, QMessageBox::Yes };
        view.run(CopyOperation, { p("d/f"), p("d/sub") }, p("d"));
        view.run(MoveOperation, { p("d/f") }, p("d"));
        view.run(CopyOperation, { p("other"), p("d") }, p("d/sub"));
        view.run(CopyOperation, { p("d") }, p("alias/sub"));
        view.run(CopyOperation, { p("d/lnk") }, p("d"), QStringLiteral("f"));
        QCOMPARE(view.failures, QStringList({ "Copying item \"f\" failed" + reason,
                                              "Moving item \"f\" failed" + reason,
                                              "Copying item \"d\" failed" + reason,
                                              "Copying item \"d\" failed" + reason,
                                              "Copying item \"lnk\" failed" + reason }));
        QCOMPARE(treeOf(p("d")), before);
        QVERIFY(view.questions.isEmpty());

        // A name that differs only in case names the item itself on a medium
        // that ignores case; here a second link of one file stands for it:
        // the rename goes to the kernel, which renames in place.
        QVERIFY(::link(QFile::encodeName(p("d/f")).constData(), QFile::encodeName(p("d/F")).constData()) == 0);
        view.failures.clear();
        view.run(MoveOperation, { p("d/f") }, p("d"), QStringLiteral("F"));
        QCOMPARE(view.failures, QStringList());
        QCOMPARE(readFile(p("d/F")), QByteArray("keep me"));
    }

    // Every failure: one message naming the item and the reason, and
    // nothing lost: the sources with their bytes and modes (a move's either
    // here or there), the targets that were there, and no temporary files.
    void nothingLost_data()
    {
        QTest::addColumn<OperationKind>("kind");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("target");
        QTest::addColumn<Action>("setup");
        QTest::addColumn<Action>("whileAsked");
        QTest::addColumn<QString>("message");

        const QString huge = Big + QStringLiteral("/d/huge");
        const Action fill = [] { QVERIFY(writeFile(Small + "/huge", "old huge")); };
        const Action readOnly = [] { QVERIFY(remount(Small, "ro")); };
        const QString noSpace = QStringLiteral("item \"huge\" failed\nNo space left on device");
        QTest::newRow("copy onto a full medium") << CopyOperation << QStringList{ huge, Big + "/after" }
                                                 << Small << Action() << Action() << "Copying " + noSpace;
        QTest::newRow("move onto a full medium") << MoveOperation << QStringList{ huge } << Small
                                                 << Action() << Action() << "Moving " + noSpace;
        QTest::newRow("tree moved onto a full medium") << MoveOperation << QStringList{ Big + "/d" }
                                                       << Small << Action() << Action() << "Moving " + noSpace;
        QTest::newRow("replacing on a full medium") << CopyOperation << QStringList{ huge } << Small
                                                    << fill << Action() << "Copying " + noSpace;
        QTest::newRow("medium read-only while asked") << MoveOperation << QStringList{ huge } << Small << fill
            << readOnly << QStringLiteral("Moving item \"huge\" failed\nRead-only file system");
        QTest::newRow("pipe in a tree") << CopyOperation << QStringList{ p("t") } << Small
            << Action([] { QVERIFY(::mkfifo(QFile::encodeName(p("t/z/pipe")).constData(), 0644) == 0); })
            << Action() << QStringLiteral("Copying item \"pipe\" failed\nNot a file, a directory or a link");
        QTest::newRow("device in a tree") << MoveOperation << QStringList{ p("t") } << Small
            << Action([] { QVERIFY(::mknod(QFile::encodeName(p("t/z/null")).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0); })
            << Action() << QStringLiteral("Moving item \"null\" failed\nNot a file, a directory or a link");
        const QString gone = Small + "/gone";
        QTest::newRow("directory removed before Paste") << MoveOperation << QStringList{ p("t") } << gone
            << Action([gone] { QVERIFY(QDir().mkpath(gone)); }) << Action()
            << QStringLiteral("Moving item \"t\" failed\nThe directory %1 no longer exists").arg(gone);
        QTest::newRow("missing item") << DeleteOperation << QStringList{ p("gone") } << Work << Action()
            << Action() << QStringLiteral("Deleting item \"gone\" failed\nNo such file or directory");
    }

    void nothingLost()
    {
        QFETCH(OperationKind, kind);
        QFETCH(QStringList, sources);
        QFETCH(QString, target);
        QFETCH(Action, setup);
        QFETCH(Action, whileAsked);
        QFETCH(QString, message);
        QVERIFY(mountTmpfs(Small, QStringLiteral("1m")));
        QVERIFY(mountTmpfs(Big, QStringLiteral("8m")));
        QVERIFY(writeFile(Big + "/d/first", QByteArray(100000, '1'), 0640));
        QVERIFY(writeFile(Big + "/d/huge", QByteArray(3 * 1024 * 1024, 'B'), 0604));
        QVERIFY(writeFile(Big + "/after", "after"));
        QVERIFY(writeFile(p("t/a"), "a"));
        QVERIFY(writeFile(p("t/z/b"), "b", 0600));
        if (setup)
            setup();
        const QStringList sourceRoots = { Big, Work };
        const QMap<QString, QByteArray> sourceTree = treesOf(sourceRoots);
        const QMap<QString, QString> sourceStats = statusOf(sourceRoots);
        const QMap<QString, QByteArray> targetTree = treeOf(Small);

        OwnerView view;
        view.answers = { QMessageBox::Yes };
        view.whileAsked = whileAsked;
        QVERIFY(view.setDirectory(target));
        if (target == Small + "/gone")
            QVERIFY(QDir(target).removeRecursively());
        view.clipboardPaths = sources;
        view.performOperation(kind, QString());
        remount(Small, "rw");
        checkIdle(view);
        QCOMPARE(view.failures, QStringList{ message });
        QCOMPARE(strays(Small) + strays(Big) + strays(Work), QStringList());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/t")) && !QFileInfo::exists(QStringLiteral("/huge")));
        const QMap<QString, QByteArray> targetNow = treeOf(Small);
        for (auto it = targetTree.cbegin(); it != targetTree.cend(); ++it)
            QCOMPARE(targetNow.value(it.key()), it.value());
        for (auto it = targetNow.cbegin(); it != targetNow.cend(); ++it) // old, or whole copies
            QVERIFY2(targetTree.value(it.key(), it.value()) == it.value()
                         && (targetTree.contains(it.key()) || sourceTree.values().contains(it.value())),
                     qPrintable(it.key()));
        const QMap<QString, QByteArray> sourceNow = treesOf(sourceRoots);
        const QMap<QString, QString> statsNow = statusOf(sourceRoots);
        for (auto it = sourceTree.cbegin(); it != sourceTree.cend(); ++it) {
            if (sourceNow.contains(it.key())) {
                QCOMPARE(sourceNow.value(it.key()), it.value());
                QCOMPARE(statsNow.value(it.key()), sourceStats.value(it.key()));
            } else {
                // Moved: whole at the target.
                QCOMPARE(kind, MoveOperation);
                QVERIFY2(targetNow.values().contains(it.value()), qPrintable(it.key()));
            }
        }
    }

    void deleteAndSpecialFiles()
    {
        QVERIFY(writeFile(p("tree/a"), "a"));
        QVERIFY(writeFile(p("tree/.h"), "h"));
        QVERIFY(writeFile(p("tree/z/c"), "c"));
        QVERIFY(::mkfifo(QFile::encodeName(p("tree/z/pipe")).constData(), 0644) == 0);
        QVERIFY(::mknod(QFile::encodeName(p("tree/z/null")).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0);
        QVERIFY(QFile::link(QStringLiteral("nowhere"), p("tree/z/dangling")));
        OwnerView view;
        // A pipe or a device chosen for a copy fails at once: reading would
        // block, or never end.
        QVERIFY(QDir().mkpath(p("out")));
        QVERIFY(mountTmpfs(Small, QStringLiteral("1m")));
        view.run(CopyOperation, { p("tree/z/pipe") }, p("out"));
        view.run(MoveOperation, { p("tree/z/null") }, Small);
        QCOMPARE(view.failures.size(), 2);
        QVERIFY(view.failures.at(1).startsWith(QStringLiteral("Moving item \"null\" failed\n")));
        QCOMPARE(treeOf(p("out")), (QMap<QString, QByteArray>()));
        // A delete takes everything, as rm -r does.
        view.run(DeleteOperation, { p("tree") }, Work);
        QCOMPARE(view.failures.size(), 2);
        QVERIFY(!QFileInfo::exists(p("tree")));
        checkIdle(view);
    }

    void linksUnderMedia()
    {
        const QString media = QStringLiteral("/media/flash/lirro_links");
        QVERIFY(freshDir(media + "/t"));
        QVERIFY(writeFile(media + "/file", "f"));
        QVERIFY(QFile::link(media + "/file", media + "/link"));
        QVERIFY(QFile::link(p("nowhere"), p("dangling")));
        OwnerView view;
        // Deleted, or copied or moved to the device's media: left alone, and
        // the operation goes on as a success.
        view.run(DeleteOperation, { media + "/link", media + "/file" }, media);
        view.run(CopyOperation, { p("dangling") }, media + "/t");
        view.run(MoveOperation, { p("dangling") }, media + "/t");
        QCOMPARE(view.failures, QStringList());
        QVERIFY(QFileInfo(media + "/link").isSymLink() && !QFileInfo::exists(media + "/file"));
        QVERIFY(QFileInfo(p("dangling")).isSymLink());
        QCOMPARE(treeOf(media + "/t"), (QMap<QString, QByteArray>()));
        QVERIFY(QDir(media).removeRecursively());
    }

    void awkwardNames()
    {
        QStringList sources;
        for (const char* name : { "with blank", "say \"hi\"", "$HOME", "`reboot`", "-rf",
                                  "line\nfeed", "*", "ünï'cødé" }) {
            QVERIFY(writeFile(p("n/") + name, QByteArray(name)));
            sources << p("n/") + name;
        }
        QVERIFY(writeFile(p("n/-d/x"), "x"));
        sources << p("n/-d");
        QVERIFY(QDir().mkpath(p("c")) && QDir().mkpath(p("m")));
        OwnerView view;
        view.run(CopyOperation, sources, p("c"));
        QCOMPARE(treeOf(p("c")), treeOf(p("n")));
        view.run(MoveOperation, sources, p("m"));
        QCOMPARE(treeOf(p("m")), treeOf(p("c")));
        QCOMPARE(treeOf(p("n")), (QMap<QString, QByteArray>()));
        view.run(DeleteOperation, QStringList{ p("c/-d"), p("c/line\nfeed") }, p("c"));
        QCOMPARE(treeOf(p("c")).size(), 7);
        QCOMPARE(view.failures, QStringList());
    }

    void rateTable_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("rate");
        // Over three seconds, at the edges of the table's rows.
        QTest::newRow("MB, two decimals") << qint64(4838709) << "1.54 MB/sec.";
        QTest::newRow("1 MiB edge") << qint64(3 * 1048576) << "1.00 MB/sec.";
        QTest::newRow("whole KB below it") << qint64(3 * 1048575) << "1023 KB/sec.";
        QTest::newRow("100 KiB edge") << qint64(3 * 102400) << "100 KB/sec.";
        QTest::newRow("KB, one decimal") << qint64(3 * 102399) << "100.0 KB/sec.";
        QTest::newRow("1 KiB edge") << qint64(3 * 1024) << "1.0 KB/sec.";
        QTest::newRow("bytes, truncated") << qint64(3 * 1023 + 2) << "1023 bytes/sec.";
        QTest::newRow("no grouping") << qint64(3) * 5000 * 1048576 << "5000.00 MB/sec.";
    }

    void rateTable()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, rate);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(progressLine(1234, 56789, true, bytes, 3000),
                 "dirs: 1234, files: 56789, transfer rate: " + rate);
        QCOMPARE(progressLine(20, 100, false, bytes, 4000), QStringLiteral("dirs: 20, files: 100, rate: 30 items/sec."));
        QLocale::setDefault(QLocale::c());
    }

    // An operation that outlasts three seconds (here the owner takes that
    // long over a question) shows a line as the copy goes on, keeps the
    // device busy, and shows the path again at its end. Nothing may start
    // meanwhile: not a menu, another command, or a program's output window.
    void longOperation()
    {
        QVERIFY(writeFile(p("s/a"), "new a"));
        QVERIFY(writeFile(p("s/b"), "new b"));
        QVERIFY(writeFile(p("t/a"), "old a"));
        OwnerView view;
        view.show();
        QVERIFY(showDirectory(view, p("s")));
        view.selectionModel()->select(indexOf(view, QStringLiteral("b")),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        QList<bool> busyAtLine;
        connect(&view, &FS_VIEW::pathChanged, this, [&] { busyAtLine << sys::SysStatus::instance().systemBusy(); });
        ModalDriver modals;
        bool menuOpened = false;
        QTimer* menuWatch = whenMenuOpens([&](QMenu* menu) { menuOpened = true; menu->hide(); });
        view.answers = { QMessageBox::Yes };
        view.whileAsked = [&] {
            QVERIFY(view.runProgram(QStringLiteral("echo finished meanwhile")));
            QElapsedTimer clock;
            clock.start();
            QVERIFY(QTest::qWaitFor([&] { return clock.elapsed() > 3100; }, 5000));
            emit sys::SysStatus::instance().mouseLongPress(QPoint(10, 10), QSize());
            QVERIFY(view.actionMenu());
            view.actionCut();
            view.actionDelete();
            view.performOperation(DeleteOperation, QString());
        };
        view.clipboardPaths = QStringList{ p("s/a"), p("s/b") };
        view.operationKind = CopyOperation;
        QVERIFY(view.setDirectory(p("t")));
        titles.clear();
        busyAtLine.clear();
        view.actionPaste();
        QCOMPARE(modals.seen.size(), 0);
        QVERIFY(!menuOpened);
        delete menuWatch;
        QCOMPARE(titles.size(), 2);
        QCOMPARE(titles.at(0).first().toString(), QStringLiteral("dirs: 0, files: 1, transfer rate: 1 bytes/sec."));
        QCOMPARE(titles.at(1).first().toString(), p("t"));
        QCOMPARE(busyAtLine.first(), true);
        QCOMPARE(readFile(p("t/a")) + readFile(p("t/b")) + readFile(p("s/b")), QByteArray("new anew bnew b"));
        checkIdle(view);
        // The output waited for the operation's end.
        QVERIFY(modals.waitSeen(1));
        QCOMPARE(modals.seen.first().text, QStringLiteral("finished meanwhile"));
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
