// The file list's commands in a scratch directory: the clipboard, names
// typed into the keyboard dialog, the Information dialog, the file chooser,
// and what activating a file or the Run dialog starts.
#include "browser/delegate.h"
#include "browser/screen_watcher.h"
#include "fileops/file_dialog.h"
#include "fileops/runcommandsync.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/sandbox.h"
#include "support/views.h"

#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>

#include <sys/stat.h>

using namespace support;

namespace {

const QString Work = QStringLiteral("/tmp/lirro_commands");
const QString Log = QStringLiteral("/tmp/lirro_commands_log");
// Writes the name it was started by, so a test can tell which file ran.
const QByteArray LoggingScript = "#!/bin/sh\nprintf '%s' \"$0\" > /tmp/lirro_commands_log\n";

QString p(const QString& relative)
{
    return Work + QLatin1Char('/') + relative;
}

void selectRows(FS_VIEW& view, const QStringList& names)
{
    view.clearSelection();
    for (const QString& name : names)
        view.selectionModel()->setCurrentIndex(indexOf(view, name), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Notes whether the first dialog's own painting reaches the watcher while it is open.
std::function<void(QWidget*)> watched(bool* noted)
{
    return [noted, first = true](QWidget* dialog) mutable {
        if (!std::exchange(first, false))
            return;
        screenWatcher.updatePending = false;
        dialog->update();
        *noted = QTest::qWaitFor([] { return screenWatcher.updatePending; }, 3000);
        screenWatcher.updatePending = false;
    };
}

// The keyboard dialog's answer: the line it offered noted, then text
// entered (the offer kept when text is empty) or, for a null text, the
// dialog cancelled.
std::function<void(QDialog*)> keyboard(const QString& text, QString* offered = nullptr)
{
    return [=](QDialog* dialog) {
        auto* keys = static_cast<ui::VexaKeyboardDialog*>(dialog);
        if (offered != nullptr)
            *offered = keys->lineEdit()->text();
        if (!text.isEmpty())
            keys->lineEdit()->setText(text);
        text.isNull() ? dialog->reject() : dialog->accept();
    };
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

    TestView* view = nullptr;
    ModalDriver* driver = nullptr; // answers what a test leaves unanswered

    // Activates the entry as OK or a double tap does.
    void activate(const QString& path)
    {
        QVERIFY2(view->model->index(path).isValid(), qPrintable(path));
        view->handleItemActivation(view->model->index(path));
    }

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    // The scratch directory shown, its listing in: one still on its way
    // would take a directory a test makes out of the model again.
    void init()
    {
        QVERIFY(freshDir(Work));
        QFile::remove(Log);
        view = new TestView;
        view->show();
        driver = new ModalDriver;
        QSignalSpy loaded(view->model, &QFileSystemModel::directoryLoaded);
        QVERIFY(view->setDirectory(Work));
        QTRY_VERIFY(!loaded.isEmpty());
    }

    void cleanup()
    {
        delete driver;
        delete view;
    }

    // Paste takes the files that were chosen, whatever happened to the list
    // meanwhile; declining a Delete, an Information, a Rename or a Copy to
    // leave a pending Copy or Cut armed; Paste is offered when it would act.
    void clipboardAndIntentions()
    {
        for (const char* name : { "a", "b", "c", "d" })
            QVERIFY(writeFile(p("src/") + name, QByteArray("first ") + name));
        QVERIFY(writeFile(p("src/dir/x"), "x") && QDir().mkpath(p("dst")));
        QVERIFY(showDirectory(*view, p("src")));
        selectRows(*view, { "b", "c" });
        view->multiSelect = true;
        view->actionCopy();
        QVERIFY(!view->multiSelect && view->canPaste());
        QVERIFY(QFile::remove(p("src/a")) && writeFile(p("src/0new"), "new") && QFile::remove(p("src/b")));
        QVERIFY(QTest::qWaitFor([&] { return !view->clipboard.at(0).isValid(); }, 5000));
        QVERIFY(writeFile(p("src/b"), "second b"));
        QVERIFY(waitListed(*view));

        driver->answers = { QMessageBox::No };
        selectRows(*view, { "dir" });
        view->actionDelete(); // No
        driver->actions = { [](QDialog* d) { d->reject(); }, keyboard(QStringLiteral("dir2")) };
        view->actionInfo();
        view->actionRename();
        QCOMPARE(driver->seen.size(), 3);
        QVERIFY(view->canPaste());
        QVERIFY(showDirectory(*view, p("dst")));
        view->actionPaste();
        QCOMPARE(treeOf(p("dst")).keys(), QStringList({ "b", "c" }));
        QCOMPARE(readFile(p("dst/b")), QByteArray("second b"));
        QVERIFY(!view->canPaste());

        // Cut arms a move; a Copy of other items after it turns it into a copy.
        QVERIFY(showDirectory(*view, p("src")));
        selectRows(*view, { "d" });
        view->actionCut();
        selectRows(*view, { "c" });
        view->actionCopy();
        QVERIFY(showDirectory(*view, p("dst")));
        driver->answers = { QMessageBox::Yes };
        view->actionPaste();
        QCOMPARE(treeOf(p("src")).keys(), QStringList({ "0new", "b", "c", "d", "dir2/", "dir2/x" }));
        QCOMPARE(readFile(p("dst/c")), QByteArray("first c"));
    }

    // A typed name is never a path or a step out of the directory; the same
    // name or none does nothing; a rename onto another item asks first.
    void names_data()
    {
        QTest::addColumn<QString>("command"); // the slot
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        const QString refused = QStringLiteral("\"%1\" is not a name for a file or directory");
        for (const char* command : { "actionRename", "actionCopyTo", "actionMkDir" }) {
            for (const char* name : { ".", "..", "a/b", "/" })
                QTest::addRow("%s %s", command, name) << command << name << QStringList({ "b", "dir/" })
                                                      << refused.arg(name);
        }
        QTest::newRow("same name") << "actionRename" << "b" << QStringList({ "b", "dir/" }) << "";
        QTest::newRow("cancelled") << "actionCopyTo" << QString() << QStringList({ "b", "dir/" }) << "";
        QTest::newRow("copy") << "actionCopyTo" << "b copy" << QStringList({ "b", "b copy", "dir/" }) << "";
        QTest::newRow("onto another") << "actionRename" << "dir" << QStringList({ "b", "dir/" })
                                      << "'" + p("dir") + "'' already exists.\nOverwrite?";
    }

    void names()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QVERIFY(writeFile(p("b"), "bee") && QDir().mkpath(p("dir")));
        QVERIFY(showDirectory(*view, Work));
        selectRows(*view, { "b" });
        QString offered;
        driver->actions = { keyboard(name, &offered) };
        QVERIFY(QMetaObject::invokeMethod(view, qPrintable(command)));
        QCOMPARE(offered, command == QLatin1String("actionMkDir") ? QStringLiteral("NewDir") : QStringLiteral("b"));
        QTEST(QStringList(treeOf(Work).keys()), "after");
        QCOMPARE(readFile(p("b")), QByteArray("bee"));
        QTEST(driver->seen.size() > 1 ? driver->seen.last().text : QString(), "message");
    }

    // Every value plain text (a name is never markup), the type in words, a
    // directory or several items counted. The dialog reaches the panel while
    // it is open, and what it covered once it has closed.
    void informationDialog()
    {
        QVERIFY(writeFile(p("plain.txt"), QByteArray(1234, 'x'), 0640) && writeFile(p(".run"), "#!/bin/sh\n", 0755));
        QVERIFY(writeFile(p("dir/one"), "1") && writeFile(p("dir/two"), "22") && writeFile(p("<b>tag"), "t"));
        QVERIFY(QFile::link(p("dir"), p("dlink")));
        const QString media = QStringLiteral("/media/flash/lirro_info");
        QVERIFY(writeFile(media + "/.run", "#!/bin/sh\n", 0755));
        screenWatcher.watch(view);
        view->actionHidden(true);
        QVERIFY(showDirectory(*view, Work));
        QMap<QString, QString> rows;
        auto info = [&](const QStringList& names) {
            selectRows(*view, names);
            rows.clear();
            driver->actions = { [&](QDialog* dialog) {
                dialog->reject(); // first: a failed check below returns at once
                auto* form = qobject_cast<QFormLayout*>(dialog->layout());
                for (int r = 0; form != nullptr && r < form->rowCount(); ++r) {
                    auto* label = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::LabelRole)->widget());
                    auto* value = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::FieldRole)->widget());
                    QCOMPARE(value->textFormat(), Qt::PlainText);
                    rows.insert(label->text().chopped(2), value->text());
                }
            } };
            view->actionInfo();
        };
        bool noted = false;
        driver->whileOpen = watched(&noted);
        info({ "plain.txt" });
        QVERIFY(noted);
        QTRY_VERIFY(screenWatcher.updatePending);
        QCOMPARE(driver->seen.value(0).title, QStringLiteral("Information on item"));
        QCOMPARE(rows.value("Type") + rows.value("Size") + rows.value("Permissions"),
                 "file" + QLocale::system().toString(qint64(1234)) + " bytesrw- r-- --- ");
        info({ ".run" });
        QCOMPARE(rows.value("Type"), QStringLiteral("hidden executable file"));
        info({ "<b>tag" });
        QCOMPARE(rows.value("Name"), QStringLiteral("<b>tag"));
        info({ "dlink" });
        QCOMPARE(rows.value("Type") + " " + rows.value("points to"), "symbolic link to directory " + p("dir"));
        info({ "dir" });
        QCOMPARE(rows.value("Total size") + ", " + rows.value("in"), QStringLiteral("3 bytes, 1 dirs and 2 files"));
        info({ "plain.txt", ".run" });
        QCOMPARE(rows.value("in"), QStringLiteral("0 dirs and 2 files"));
        // Nothing on the device's media is said to be executable.
        QVERIFY(showDirectory(*view, media));
        info({ ".run" });
        QCOMPARE(rows.value("Type"), QStringLiteral("hidden file"));
    }

    void fileDialog()
    {
        QVERIFY(writeFile(p("f/splash.png"), "png"));
        bool delegated = false;
        bool focusMoved = false;
        driver->actions = { [&](QDialog* dialog) {
            for (QAbstractItemView* v : dialog->findChildren<QAbstractItemView*>())
                delegated = delegated || qobject_cast<DELEGATE*>(v->itemDelegate()) != nullptr;
            QWidget* before = dialog->focusWidget();
            QTest::keyRelease(dialog, Qt::Key_Menu);
            focusMoved = dialog->focusWidget() != before;
            static_cast<QFileDialog*>(dialog)->selectFile(p("f/splash.png"));
            QTest::keyClick(dialog, Qt::Key_Return);
        } };
        QCOMPARE(chooseExistingFile(nullptr, "Choose", p("f"), "*.png", QFileDialog::Options()), p("f/splash.png"));
        QVERIFY(delegated && focusMoved);
        QCOMPARE(chooseExistingFile(nullptr, "Choose", p("f"), QString(), QFileDialog::Options()), QString());
    }

    // Only a shell script or an ELF program is started when the command
    // names a file that can be read; a bare name is a command on the search
    // path, or else the file in the shown directory.
    void whatStarts_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the file "prog" (null: a pipe)
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("ran"); // as the log says, or the output window
        const QString prog = p("prog");
        QTest::newRow("shell script") << LoggingScript << 0755 << prog << prog;
        QTest::newRow("ELF program") << readFile(QStringLiteral("/bin/true")) << 0755 << prog << "started";
        QTest::newRow("ELF magic, short") << QByteArray("\x7f" "ELF\x02\x01") << 0755 << prog << "";
        QTest::newRow("another interpreter") << "#!/bin/bash\n" + LoggingScript << 0755 << prog << "";
        QTest::newRow("text") << QByteArray("Some notes, long enough.\n") << 0755 << prog << "";
        QTest::newRow("pipe") << QByteArray() << 0 << prog << "";
        QTest::newRow("unreadable: unchecked") << QByteArray("#!/bin/bash\ntrue\n") << 0111 << prog << "started";
        QTest::newRow("search path, not the file here") << QByteArray("not a program\n") << 0755 << "ls -d /" << "Program output: /";
        QTest::newRow("file named as a file") << QByteArray("not a program\n") << 0755 << "./ls -d /" << "";
        QTest::newRow("bare name, only here") << LoggingScript << 0755 << "prog" << prog;
        QTest::newRow("nowhere") << LoggingScript << 0755 << "no-such-program-anywhere" << "";
    }

    void whatStarts()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, command);
        QFETCH(QString, ran);
        const QString file = p(command.startsWith(QLatin1String("ls")) || command.startsWith(QLatin1String("./ls")) ? "ls" : "prog");
        QVERIFY(content.isNull() ? ::mkfifo(QFile::encodeName(file).constData(), 0777) == 0 : writeFile(file, content, mode));
        // Started again in the shown directory once the working directory moved away.
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        view->setCurrentIndex(view->model->index(file));
        view->rememberedIndex = QPersistentModelIndex();
        QVERIFY(setReadOverride(false));
        const bool started = view->runProgram(command);
        QVERIFY(setReadOverride(true));
        QCOMPARE(started, !ran.isEmpty());
        QCOMPARE(view->rememberedIndex.isValid(), started);
        QTRY_VERIFY_WITH_TIMEOUT(view->runningProcesses.isEmpty(), 10000);
        if (ran.startsWith(QLatin1String("Program output")))
            QCOMPARE(driver->waitSeen(1) ? driver->seen.first().title + ": " + driver->seen.first().text : QString(), ran);
        else if (content.contains("printf '%s'"))
            QTRY_COMPARE(QString::fromUtf8(readFile(Log)), ran.isEmpty() ? QStringLiteral("<missing>") : ran);
    }

    // Finished programs: their output in a window (the last 57 lines, plain
    // text, without trailing line feeds; none for fewer than two bytes),
    // then released; one still running stays listed.
    void outputOfFinishedPrograms()
    {
        QVERIFY(view->runProgram(QStringLiteral("printf x")));
        QPointer<QProcess> quiet = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("sleep 30")));
        QPointer<QProcess> sleeper = view->runningProcesses.last();
        QVERIFY(view->runProgram(QStringLiteral("sh -c \"seq 100; echo '<b>x</b>' >&2; echo; echo\"")));
        QVERIFY(driver->waitSeen(1));
        QTRY_VERIFY(quiet.isNull());
        QCOMPARE(driver->seen.first().text, ::runCommandSync(QStringLiteral("seq 45 100")) + QStringLiteral("<b>x</b>"));
        QTRY_COMPARE(view->runningProcesses, QList<QProcess*>{ sleeper.data() });
        // Output past 1 MiB: only the newest is kept, and the window says so.
        QVERIFY(view->runProgram(QStringLiteral("sh -c \"yes line | head -c 3000000; echo last\"")));
        QVERIFY(driver->waitSeen(2));
        QVERIFY2(driver->seen.last().text.endsWith(QStringLiteral("\nlast\n[only the last 1048576 bytes of the output were kept]")),
                 qPrintable(driver->seen.last().text.right(80)));
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
        QVERIFY(view->setDirectory(QStringLiteral("/proc")));
        activate(QStringLiteral("/proc/kmsg"));
        activate(QStringLiteral("/proc/version"));
        // An endless file is read up to the bound, and the window says so.
        activate(QStringLiteral("/proc/self/pagemap"));
        QCOMPARE(driver->seen.size(), 3);
        QCOMPARE(driver->seen.at(0).title + ": " + driver->seen.at(0).text,
                 QStringLiteral("ProcFS reading: Some unknown troubles while reading 'kmsg'"));
        QCOMPARE(driver->seen.at(1).text, QString::fromLocal8Bit(readFile(QStringLiteral("/proc/version"))).trimmed());
        QVERIFY(driver->seen.at(2).text.endsWith(QStringLiteral("\n[cut after 1048576 bytes]")));
    }

    // Into Book, then Book.0 and Book.1 beside it, shown at once and filled
    // meanwhile; No extracts nothing; where no directory can be made, an
    // error, and unzip never runs.
    void zipExtraction()
    {
        driver->answers = { QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes, QMessageBox::No, QMessageBox::Yes };
        QVERIFY(writeFile(p("Book.zip"), makeZip({ { "chapter.txt", "one" }, { "part/two.txt", "two" } })));
        for (const QString name : { "Book", "Book.0", "Book.1" }) {
            QVERIFY(view->setDirectory(Work));
            activate(p("Book.zip"));
            QCOMPARE(view->dir.canonicalPath(), p(name));
            QTRY_VERIFY_WITH_TIMEOUT(view->runningProcesses.isEmpty(), 10000);
            QCOMPARE(readFile(p(name + "/part/two.txt")), QByteArray("two"));
        }
        QVERIFY(view->setDirectory(Work));
        activate(p("Book.zip")); // No
        QVERIFY(!QFile::exists(p("Book.2")));

        QVERIFY(writeFile(p("locked/Book.zip"), makeZip({ { "f.txt", "x" } })));
        QVERIFY(view->setDirectory(p("locked")));
        QVERIFY(QFile::setPermissions(p("locked"), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(setReadOverride(false));
        activate(p("locked/Book.zip"));
        QVERIFY(setReadOverride(true));
        QCOMPARE(driver->seen.last().text, QStringLiteral("Can not create directory Book"));
        QVERIFY(view->runningProcesses.isEmpty());
    }

    // A name is passed as it is, never through a shell or a second split:
    // activated, typed into the Run dialog, and as an archive's name (its
    // suffix in capitals).
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
        driver->answers = { QMessageBox::Yes, QMessageBox::Ok };
        QVERIFY(writeFile(p(name), LoggingScript, 0755));
        const QString first = name.section(QLatin1Char(' '), 0, 0); // a decoy
        QVERIFY(first == name || writeFile(p(first), "#!/bin/sh\necho WRONG > " + Log.toUtf8(), 0755));
        activate(p(name));
        QTRY_COMPARE(QString::fromUtf8(readFile(Log)), p(name));
        QVERIFY(QFile::remove(Log));

        QString offered;
        driver->actions = { keyboard(QStringLiteral(""), &offered) };
        view->setCurrentIndex(view->model->index(p(name)));
        view->actionRun();
        // A name that is also a command on the search path is marked as the file here.
        QCOMPARE(QProcess::splitCommand(offered), QStringList{ name == "ls" ? "./ls" : name });
        QVERIFY(offered.endsWith(QLatin1Char(' ')));
        QTRY_COMPARE(QString::fromUtf8(readFile(Log)), "./" + name);

        QVERIFY(writeFile(p(name + " book.ZIP"), makeZip({ { "f.txt", name.toUtf8() } })));
        activate(p(name + " book.ZIP"));
        QTRY_VERIFY_WITH_TIMEOUT(view->runningProcesses.isEmpty(), 10000);
        QCOMPARE(readFile(p(name + " book/f.txt")), name.toUtf8());
    }

    // A file that is no program says so, its name in quotes for a blank;
    // with nothing selected the Run dialog (its typing noted for the panel)
    // offers an empty line, and a command that can't start is reported.
    void nothingToRun()
    {
        bool noted = false;
        QVERIFY(writeFile(p("my notes.txt"), "Nothing to run in here.\n"));
        activate(p("my notes.txt"));
        QCOMPARE(driver->seen.value(0).text, QStringLiteral("Nothing to do with file \"%1\"").arg(p("my notes.txt")));
        view->clearSelection();
        QString offered = QStringLiteral("unset");
        driver->actions = { keyboard(QStringLiteral("no-such-program \"a b\""), &offered) };
        driver->whileOpen = watched(&noted);
        view->actionRun();
        QVERIFY(noted);
        QCOMPARE(offered, QString());
        QCOMPARE(driver->seen.last().title + ": " + driver->seen.last().text,
                 QStringLiteral("Exec error!: Can not execute command line:\nno-such-program \"a b\""));
        QVERIFY(view->runningProcesses.isEmpty());
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
