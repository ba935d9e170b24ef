#include "browser/fs_model.h"
#include "support/sandbox.h"
#include "fileops/progressline.h"
#include "fileopstestutil.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QSignalSpy>

#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString Work = QStringLiteral("/tmp/lirro_engine");

// Runs kind over paths with the view standing in targetDir.
void operate(FS_VIEW& view, OperationKind kind, const QStringList& paths, const QString& targetDir,
             const QString& newName = QString())
{
    QVERIFY(view.setDirectory(targetDir));
    view.clipboardPaths = paths;
    for (const QString& p : paths)
        view.clipboard.append(QPersistentModelIndex(view.model->index(p)));
    view.performOperation(kind, newName);
}

// Everything is back to idle after an operation, completed or stopped.
void checkIdle(const FS_VIEW& view)
{
    QVERIFY(view.clipboard.isEmpty());
    QVERIFY(view.clipboardPaths.isEmpty());
    QCOMPARE(int(view.operationKind), int(NoOperation));
    QVERIFY(!view.overwriteAll);
    QVERIFY(!view.multiSelect);
    QVERIFY(!sys::SysStatus::instance().systemBusy());
    QVERIFY(view.model->isReadOnly());
}

QString p(const QString& rel)
{
    return Work + QLatin1Char('/') + rel;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
    }

    void init() { QVERIFY(freshDir(Work)); }

    void copyCountAndIdle()
    {
        QVERIFY(writeFile(p("src/a.txt"), "alpha", 0640));
        QVERIFY(writeFile(p("src/tool"), "#!/bin/sh\n", 0755));
        QVERIFY(writeFile(p("src/.hidden"), "h", 0600));
        QVERIFY(writeFile(p("src/sub/deep/b.bin"), QByteArray(200000, 'b'), 0444));
        QVERIFY(writeFile(p("src/empty"), QByteArray(), 0644));
        QVERIFY(QDir().mkpath(p("src/sub/emptydir")));
        QVERIFY(QFile::link(p("src/a.txt"), p("src/link")));
        QVERIFY(QDir().mkpath(p("dst")));

        TestView view;
        view.multiSelect = true;
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        operate(view, CopyOperation, { p("src") }, p("dst"));
        checkIdle(view);
        // One title for entering dst, none from a short operation.
        QCOMPARE(titles.size(), 1);

        QMap<QString, QByteArray> expected = treeOf(p("src"));
        QCOMPARE(treeOf(p("dst/src")), expected);
        QCOMPARE(modeOf(p("dst/src/a.txt")), 0640);
        QCOMPARE(modeOf(p("dst/src/tool")), 0755);
        QCOMPARE(modeOf(p("dst/src/sub/deep/b.bin")), 0444);
        // Outside /media/ a link is made anew, to the same target.
        QVERIFY(QFileInfo(p("dst/src/link")).isSymLink());
        QCOMPARE(QFileInfo(p("dst/src/link")).symLinkTarget(), p("src/a.txt"));
        QVERIFY(view.bytesDone == 5 + 10 + 1 + 200000);

        // Counting: every item at every depth, and the bytes of files
        // (links add nothing); nothing changes.
        operate(view, CountOperation, { p("src") }, p("dst"));
        checkIdle(view);
        QCOMPARE(view.dirCount, 4);         // src, sub, deep, emptydir
        QCOMPARE(view.fileCount, 6);        // a.txt tool .hidden b.bin empty link(->file)
        QCOMPARE(view.bytesDone, qint64(200016));
        QCOMPARE(treeOf(p("src")), expected);

        QVERIFY(QDir().mkpath(p("one")));
        QVERIFY(writeFile(p("one/x"), "1"));
        QVERIFY(writeFile(p("one/y"), "2"));
        operate(view, CountOperation, { p("one") }, Work);
        QCOMPARE(view.dirCount, 1);
        QCOMPARE(view.fileCount, 2);

        // Nothing armed: nothing happens.
        view.clipboardPaths = QStringList() << p("one");
        view.performOperation(NoOperation, QString());
        QCOMPARE(view.clipboardPaths.size(), 1);
    }

    void moveWithinAndAcrossMedia()
    {
        QVERIFY(writeFile(p("a/f1"), "one", 0600));
        QVERIFY(writeFile(p("a/s/f2"), "two", 0751));
        QVERIFY(QDir().mkpath(p("a/s/e")));
        const ino_t f1 = inodeOf(p("a/f1"));

        TestView view;
        // Same medium, new name: files keep their inodes (renamed), the
        // directories are made anew and the old ones removed bottom-up.
        operate(view, MoveOperation, { p("a") }, Work, QStringLiteral("b"));
        checkIdle(view);
        QVERIFY(!QFileInfo::exists(p("a")));
        QCOMPARE(inodeOf(p("b/f1")), f1);
        QCOMPARE(readFile(p("b/s/f2")), QByteArray("two"));
        QVERIFY(QFileInfo(p("b/s/e")).isDir());

        // Across media: rename(2) fails with EXDEV, each file is copied and
        // then removed, directories recreated.
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m1"), QStringLiteral("4m")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/m2"), QStringLiteral("4m")));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/f1"), QByteArray(300000, 'x'), 0640));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/t/s/f2"), "two", 0751));
        QVERIFY(writeFile(QStringLiteral("/mnt/m1/single"), "s", 0604));
        const QMap<QString, QByteArray> before = treeOf(QStringLiteral("/mnt/m1/t"));
        operate(view, MoveOperation, { QStringLiteral("/mnt/m1/t"), QStringLiteral("/mnt/m1/single") },
                QStringLiteral("/mnt/m2"));
        checkIdle(view);
        QCOMPARE(treeOf(QStringLiteral("/mnt/m2/t")), before);
        QCOMPARE(modeOf(QStringLiteral("/mnt/m2/t/s/f2")), 0751);
        QCOMPARE(modeOf(QStringLiteral("/mnt/m2/single")), 0604);
        QCOMPARE(QDir(QStringLiteral("/mnt/m1")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void overwritePrompt()
    {
        QVERIFY(writeFile(p("s/a"), "new a"));
        QVERIFY(writeFile(p("s/b"), "new b"));
        QVERIFY(writeFile(p("s/c"), "new c"));
        auto resetTargets = [] {
            QVERIFY(writeFile(p("t/a"), "old a"));
            QVERIFY(writeFile(p("t/b"), "old b"));
            QVERIFY(writeFile(p("t/c"), "old c"));
        };
        const QStringList all = { p("s/a"), p("s/b"), p("s/c") };
        TestView view;

        // No skips one file and goes on; Yes overwrites.
        resetTargets();
        {
            BoxAnswerer answers({ QMessageBox::No, QMessageBox::Yes, QMessageBox::No });
            operate(view, CopyOperation, all, p("t"));
            QCOMPARE(answers.seen.size(), 3);
            const BoxAnswerer::Box& box = answers.seen.first();
            QCOMPARE(box.icon, QMessageBox::Question);
            QCOMPARE(box.title, "Copying file " + p("s/a"));
            QCOMPARE(box.text, "'" + p("t/a") + "'' already exists.\nOverwrite?");
            QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No
                                      | QMessageBox::Cancel);
            // The device is not busy while the user is asked, and busy again after.
            QVERIFY(!box.busy);
        }
        checkIdle(view);
        QCOMPARE(readFile(p("t/a")), QByteArray("old a"));
        QCOMPARE(readFile(p("t/b")), QByteArray("new b"));
        QCOMPARE(readFile(p("t/c")), QByteArray("old c"));

        // Cancel stops: the rest is not touched, and no failure message.
        resetTargets();
        {
            BoxAnswerer answers({ QMessageBox::Cancel });
            operate(view, CopyOperation, all, p("t"));
            QCOMPARE(answers.seen.size(), 1);
        }
        checkIdle(view);
        QCOMPARE(readFile(p("t/a")), QByteArray("old a"));
        QCOMPARE(readFile(p("t/c")), QByteArray("old c"));

        // Yes to All asks once in this operation, and again in the next.
        resetTargets();
        {
            BoxAnswerer answers({ QMessageBox::YesToAll, QMessageBox::No, QMessageBox::No, QMessageBox::No });
            operate(view, CopyOperation, all, p("t"));
            QCOMPARE(answers.seen.size(), 1);
            checkIdle(view);
            QCOMPARE(readFile(p("t/c")), QByteArray("new c"));
            resetTargets();
            operate(view, CopyOperation, all, p("t"));
            QCOMPARE(answers.seen.size(), 4);
            QCOMPARE(readFile(p("t/a")), QByteArray("old a"));
        }

        // A dangling link in the target's place is replaced, never written
        // through.
        QVERIFY(QFile::remove(p("t/a")));
        QVERIFY(QFile::link(p("outside"), p("t/a")));
        {
            BoxAnswerer answers({ QMessageBox::Yes });
            operate(view, CopyOperation, { p("s/a") }, p("t"));
            QCOMPARE(answers.seen.size(), 1);
        }
        QVERIFY(!QFileInfo(p("t/a")).isSymLink());
        QCOMPARE(readFile(p("t/a")), QByteArray("new a"));
        QVERIFY(!QFileInfo::exists(p("outside")));

        // A move offers no No; Cancel leaves both sides as they were; Yes
        // replaces the target and the source goes.
        resetTargets();
        {
            BoxAnswerer answers({ QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::YesToAll });
            operate(view, MoveOperation, { p("s/a") }, p("t"));
            QCOMPARE(answers.seen.at(0).title, "Moving file " + p("s/a"));
            QCOMPARE(answers.seen.at(0).buttons,
                     QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel);
            QCOMPARE(readFile(p("s/a")), QByteArray("new a"));
            QCOMPARE(readFile(p("t/a")), QByteArray("old a"));
            operate(view, MoveOperation, { p("s/a") }, p("t"));
            QVERIFY(!QFileInfo::exists(p("s/a")));
            QCOMPARE(readFile(p("t/a")), QByteArray("new a"));
            operate(view, MoveOperation, { p("s/b"), p("s/c") }, p("t"));
            QCOMPARE(answers.seen.size(), 3);
            QCOMPARE(readFile(p("t/c")), QByteArray("new c"));
            QCOMPARE(QDir(p("s")).entryList(QDir::Files), QStringList());
        }
        checkIdle(view);
    }

    void neverOntoItself()
    {
        QVERIFY(writeFile(p("d/f"), "keep me"));
        QVERIFY(writeFile(p("d/sub/g"), "and me"));
        QVERIFY(QFile::link(p("d/f"), p("d/lnk")));
        const QMap<QString, QByteArray> before = treeOf(p("d"));
        TestView view;

        // Paste into the directory the items came from: refused with the
        // operation's failure message before anything is written.
        for (OperationKind kind : { CopyOperation, MoveOperation }) {
            BoxAnswerer answers({ QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes });
            operate(view, kind, { p("d/f"), p("d/sub") }, p("d"));
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().icon, QMessageBox::Critical);
            QCOMPARE(answers.seen.first().title, QStringLiteral("Error!"));
            QCOMPARE(answers.seen.first().text,
                     QStringLiteral("%1 item \"f\" failed").arg(kind == CopyOperation ? "Copying" : "Moving"));
            checkIdle(view);
            QCOMPARE(treeOf(p("d")), before);
        }

        // A directory into its own subtree, also by a new name below itself.
        {
            BoxAnswerer answers({ QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok });
            QVERIFY(writeFile(p("other"), "o"));
            operate(view, CopyOperation, { p("other"), p("d") }, p("d/sub"));
            operate(view, MoveOperation, { p("d") }, Work, QStringLiteral("d/sub/new"));
            // Reached through a link to the source directory.
            QVERIFY(QFile::link(p("d"), p("alias")));
            operate(view, CopyOperation, { p("d") }, p("alias/sub"));
            QCOMPARE(answers.seen.size(), 3);
            QCOMPARE(answers.seen.at(0).text, QStringLiteral("Copying item \"d\" failed"));
            QCOMPARE(answers.seen.at(1).text, QStringLiteral("Moving item \"d\" failed"));
            QCOMPARE(treeOf(p("d")), before);
            QVERIFY(!QFileInfo::exists(p("d/sub/other")));
        }

        // A link copied onto the file it points at would replace that file
        // by a link to itself.
        {
            BoxAnswerer answers({ QMessageBox::Yes, QMessageBox::Ok });
            QVERIFY(QDir().mkpath(p("e")));
            QVERIFY(QFile::link(p("e/f"), p("e/l")));
            QVERIFY(writeFile(p("e/f"), "data"));
            operate(view, CopyOperation, { p("e/l") }, p("e"), QStringLiteral("f"));
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().icon, QMessageBox::Critical);
            QCOMPARE(readFile(p("e/f")), QByteArray("data"));
        }
    }

    void fullMedium()
    {
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/small"), QStringLiteral("1m")));
        QVERIFY(mountTmpfs(QStringLiteral("/mnt/big"), QStringLiteral("8m")));
        const QByteArray big(3 * 1024 * 1024, 'B');
        QVERIFY(writeFile(QStringLiteral("/mnt/big/d/first"), QByteArray(100000, '1')));
        QVERIFY(writeFile(QStringLiteral("/mnt/big/d/huge"), big));
        QVERIFY(writeFile(QStringLiteral("/mnt/big/after"), "after"));
        const QMap<QString, QByteArray> before = treeOf(QStringLiteral("/mnt/big"));
        TestView view;

        for (OperationKind kind : { CopyOperation, MoveOperation }) {
            BoxAnswerer answers({ QMessageBox::Ok, QMessageBox::Ok });
            operate(view, kind, { QStringLiteral("/mnt/big/d/huge"), QStringLiteral("/mnt/big/after") },
                    QStringLiteral("/mnt/small"));
            checkIdle(view);
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().text,
                     QStringLiteral("%1 item \"huge\" failed").arg(kind == CopyOperation ? "Copying" : "Moving"));
            // Partial target gone, source whole, nothing after the stop.
            QVERIFY(!QFileInfo::exists(QStringLiteral("/mnt/small/huge")));
            QCOMPARE(treeOf(QStringLiteral("/mnt/big")), before);
            QVERIFY(!QFileInfo::exists(QStringLiteral("/mnt/small/after")));
        }

        // A tree moved onto the full medium: what was moved whole is gone
        // from the source, what failed is still there, nothing is lost.
        {
            BoxAnswerer answers({ QMessageBox::Ok });
            operate(view, MoveOperation, { QStringLiteral("/mnt/big/d") }, QStringLiteral("/mnt/small"));
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(readFile(QStringLiteral("/mnt/big/d/huge")), big);
            QVERIFY(!QFileInfo::exists(QStringLiteral("/mnt/small/d/huge")));
            const bool firstMoved = QFileInfo::exists(QStringLiteral("/mnt/small/d/first"));
            QCOMPARE(QFileInfo::exists(QStringLiteral("/mnt/big/d/first")), !firstMoved);
            const QString first = firstMoved ? QStringLiteral("/mnt/small/d/first")
                                             : QStringLiteral("/mnt/big/d/first");
            QCOMPARE(readFile(first), QByteArray(100000, '1'));
        }
    }

    void deleteAndSpecialFiles()
    {
        QVERIFY(writeFile(p("tree/a"), "a"));
        QVERIFY(writeFile(p("tree/sub/b"), "b"));
        QVERIFY(writeFile(p("tree/z/c"), "c"));
        QVERIFY(::mkfifo(QFile::encodeName(p("tree/z/pipe")).constData(), 0644) == 0);
        QVERIFY(::mknod(QFile::encodeName(p("tree/z/null")).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0);
        TestView view;

        {
            BoxAnswerer answers({ QMessageBox::Ok });
            operate(view, DeleteOperation, { p("tree") }, Work);
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().text, QStringLiteral("Deleting item \"z\" failed"));
        }
        checkIdle(view);
        // What was deleted stays deleted; the special files and their
        // directory (and so its parent) remain.
        QVERIFY(!QFileInfo::exists(p("tree/z/c")));
        QStringList left = QDir(p("tree/z")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        left.sort();
        QCOMPARE(left, QStringList() << "null" << "pipe");
        QVERIFY(QFileInfo::exists(p("tree")));

        // A pipe or device chosen for a copy fails at once (reading the pipe
        // would block for ever).
        {
            BoxAnswerer answers({ QMessageBox::Ok, QMessageBox::Ok });
            QVERIFY(QDir().mkpath(p("out")));
            operate(view, CopyOperation, { p("tree/z/pipe") }, p("out"));
            operate(view, MoveOperation, { p("tree/z/null") }, p("out"));
            QCOMPARE(answers.seen.size(), 2);
            QCOMPARE(answers.seen.at(0).text, QStringLiteral("Copying item \"pipe\" failed"));
            QCOMPARE(answers.seen.at(1).text, QStringLiteral("Moving item \"null\" failed"));
            QCOMPARE(QDir(p("out")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                     QStringList());
        }

        // Deleting plain trees and a missing item.
        QVERIFY(writeFile(p("plain/x/y"), "y"));
        QVERIFY(writeFile(p("plain/.h"), "h"));
        operate(view, DeleteOperation, { p("plain") }, Work);
        QVERIFY(!QFileInfo::exists(p("plain")));
        {
            BoxAnswerer answers({ QMessageBox::Ok });
            operate(view, DeleteOperation, { p("gone") }, Work);
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().text, QStringLiteral("Deleting item \"gone\" failed"));
        }
    }

    void linksUnderMedia()
    {
        const QString media = QStringLiteral("/media/flash/lirro_links");
        QVERIFY(freshDir(media));
        QVERIFY(writeFile(media + "/file", "f"));
        QVERIFY(QFile::link(media + "/file", media + "/link"));
        QVERIFY(QFile::link(p("nowhere"), p("dangling")));
        TestView view;

        // Deleted, copied or moved to a target under /media/: left alone,
        // and the operation goes on as successful.
        operate(view, DeleteOperation, { media + "/link", media + "/file" }, media);
        QVERIFY(QFileInfo(media + "/link").isSymLink());
        QVERIFY(!QFileInfo::exists(media + "/file"));
        QVERIFY(QDir().mkpath(media + "/t"));
        operate(view, CopyOperation, { p("dangling") }, media + "/t");
        operate(view, MoveOperation, { p("dangling") }, media + "/t");
        QVERIFY(QFileInfo(p("dangling")).isSymLink());
        QCOMPARE(QDir(media + "/t").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());

        // Elsewhere a dangling link is copied as a link, and moved.
        QVERIFY(QDir().mkpath(p("lt")));
        operate(view, CopyOperation, { p("dangling") }, p("lt"));
        QCOMPARE(QFileInfo(p("lt/dangling")).symLinkTarget(), p("nowhere"));
        QVERIFY(QFile::remove(p("lt/dangling")));
        operate(view, MoveOperation, { p("dangling") }, p("lt"));
        QVERIFY(QFileInfo(p("lt/dangling")).isSymLink());
        QVERIFY(!QFileInfo(p("dangling")).isSymLink());
        QVERIFY(freshDir(media) && QDir().rmdir(media));
    }

    void awkwardNames()
    {
        const QStringList names = { QStringLiteral("with blank"), QStringLiteral("say \"hi\""),
                                    QStringLiteral("$HOME"), QStringLiteral("`reboot`"),
                                    QStringLiteral("-rf"), QStringLiteral("line\nfeed"),
                                    QStringLiteral("*"), QStringLiteral("ünï'cødé") };
        QStringList sources;
        for (const QString& name : names) {
            QVERIFY(writeFile(p("n/") + name, name.toUtf8()));
            sources << p("n/") + name;
        }
        QVERIFY(writeFile(p("n/-d/x"), "x"));
        sources << p("n/-d");
        QVERIFY(QDir().mkpath(p("c")));
        TestView view;

        operate(view, CopyOperation, sources, p("c"));
        QCOMPARE(treeOf(p("c")), treeOf(p("n")));
        QVERIFY(freshDir(p("m")));
        operate(view, MoveOperation, sources, p("m"));
        QCOMPARE(treeOf(p("m")), treeOf(p("c")));
        QCOMPARE(QDir(p("n")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QStringList copies;
        for (const QString& name : names)
            copies << p("c/") + name;
        operate(view, DeleteOperation, copies, p("c"));
        QCOMPARE(QDir(p("c")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList() << "-d");

        // A new name with a line feed is a name like any other.
        operate(view, CopyOperation, { p("m/-rf") }, p("m"), QStringLiteral("new\nname $x"));
        QCOMPARE(readFile(p("m/new\nname $x")), QByteArray("-rf"));
    }

    void progressLines()
    {
        TestView view;
        QVERIFY(view.setDirectory(Work));
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        view.dirCount = 2;
        view.fileCount = 37;
        view.bytesDone = 5000000;
        view.operationClock.start();
        view.progressClock.start();
        view.showProgress(true, 0);
        QCOMPARE(titles.size(), 0);
        QTest::qWait(3050);
        sys::SysStatus::instance().setSystemBusy(true, true);
        view.showProgress(true, 100);
        QCOMPARE(titles.size(), 1);
        const QString line = titles.takeFirst().first().toString();
        // 5,000,100 bytes in a little over three seconds.
        QVERIFY2(QRegularExpression(QStringLiteral("^dirs: 2, files: 37, transfer rate: 1\\.[45]\\d MB/sec\\.$"))
                     .match(line).hasMatch(),
                 qPrintable(line));
        QVERIFY(!sys::SysStatus::instance().systemBusy());
        // The next line only three seconds later.
        view.showProgress(false, 0);
        QCOMPARE(titles.size(), 0);

        // An operation that outlasts three seconds (here the user takes that
        // long over a prompt) shows a line as soon as the copy goes on (five
        // bytes in about three seconds), and the path again at its end.
        QVERIFY(writeFile(p("s/a"), "new a"));
        QVERIFY(writeFile(p("s/b"), "new b"));
        QVERIFY(writeFile(p("t/a"), "old a"));
        QVERIFY(view.setDirectory(p("t")));
        titles.clear();
        {
            BoxAnswerer answers({ QMessageBox::Yes }, 3100);
            view.clipboardPaths = QStringList() << p("s/a") << p("s/b");
            view.performOperation(CopyOperation, QString());
            QCOMPARE(answers.seen.size(), 1);
        }
        QCOMPARE(titles.size(), 2);
        QCOMPARE(titles.at(0).first().toString(), QStringLiteral("dirs: 0, files: 1, transfer rate: 1 bytes/sec."));
        QCOMPARE(titles.at(1).first().toString(), p("t"));
        QCOMPARE(readFile(p("t/b")), QByteArray("new b"));
        checkIdle(view);
    }
};

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
