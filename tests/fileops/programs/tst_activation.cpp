#include "browser/fs_model.h"
#include "support/sandbox.h"
#include "browser/fs_view.h"
#include "browser/screen_watcher.h"
#include "platform/screen/qtcompat.h"
#include "platform/screen/screencommand.h"
#include "platform/screen/screenproxy.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "browser/screencapture.h"
#include "programtestutil.h"

#include <QDir>
#include <QProcess>
#include <QVBoxLayout>

using vexa::screen::ScreenCommand;
using vexa::screen::ScreenProxy;

namespace {

const QString Scratch = QStringLiteral("/tmp/lirro_act");
const QString Log = QStringLiteral("/tmp/lirro_act_log");

// The names that a command line could get wrong.
const QStringList AwkwardNames = {
    QStringLiteral("my prog"),     QStringLiteral("q\"uote"),  QStringLiteral("tail\""),
    QStringLiteral("d$HOME"),      QStringLiteral("b`id`x"),   QStringLiteral("-dash"),
    QStringLiteral("line\nfeed"),  QStringLiteral("tab\there"), QStringLiteral("all \"$(id)\" `id` -x"),
};

QByteArray loggingScript(const QByteArray& mark = QByteArray())
{
    return "#!/bin/sh\nprintf '%s' \"" + mark + "$0\" > " + Log.toUtf8() + "\n";
}

class TestView : public FS_VIEW
{
public:
    using FS_VIEW::handleItemActivation;
};

} // namespace

class TestActivation : public QObject
{
    Q_OBJECT

private:
    QWidget* window = nullptr;
    TestView* view = nullptr;

    QModelIndex indexOf(const QString& path)
    {
        QModelIndex index;
        const bool found = QTest::qWaitFor([&] {
            index = view->model->index(path);
            return index.isValid();
        }, 5000);
        return found ? index : QModelIndex();
    }

    // Activates the entry for path as OK or a double tap does.
    void activate(const QString& path)
    {
        const QModelIndex index = indexOf(path);
        QVERIFY2(index.isValid(), qPrintable(path));
        view->handleItemActivation(index);
    }

    bool allCollected()
    {
        return QTest::qWaitFor([this] { return view->runningProcesses.isEmpty(); }, 10000);
    }

    bool show(const QString& path)
    {
        return view->setDirectory(path);
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
        window = new QWidget;
        auto* layout = new QVBoxLayout(window);
        view = new TestView;
        layout->addWidget(view);
        window->resize(600, 800);
        screenWatcher.watch(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(show(Scratch));
    }

    void cleanup()
    {
        delete window;
        window = nullptr;
        view = nullptr;
    }

    void kernelFiles()
    {
        ModalDriver driver;
        QVERIFY(show(QStringLiteral("/proc")));
        activate(QStringLiteral("/proc/kmsg"));
        QCOMPARE(driver.seen.size(), 1);
        QCOMPARE(driver.seen[0].title, QStringLiteral("ProcFS reading"));
        QCOMPARE(driver.seen[0].text, QStringLiteral("Some unknown troubles while reading 'kmsg'"));
        QCOMPARE(driver.seen[0].icon, int(QMessageBox::Warning));

        activate(QStringLiteral("/proc/version"));
        QCOMPARE(driver.seen.size(), 2);
        QCOMPARE(driver.seen[1].title, QStringLiteral("File contents"));
        QCOMPARE(driver.seen[1].text, QString::fromLocal8Bit(readFile(QStringLiteral("/proc/version"))).trimmed());
        QVERIFY(!driver.seen[1].text.isEmpty());

        // Through a link: what counts is where it leads.
        QVERIFY(QFile::link(QStringLiteral("/proc/version"), Scratch + QStringLiteral("/version")));
        QVERIFY(show(Scratch));
        activate(Scratch + QStringLiteral("/version"));
        QCOMPARE(driver.seen.size(), 3);
        QCOMPARE(driver.seen[2].title, QStringLiteral("File contents"));
        QCOMPARE(driver.seen[2].text, driver.seen[1].text);

        const QString sysFile = QStringLiteral("/sys/kernel/uevent_seqnum");
        if (QFile::exists(sysFile)) {
            QVERIFY(show(QStringLiteral("/sys/kernel")));
            activate(sysFile);
            QCOMPARE(driver.seen.size(), 4);
            QCOMPARE(driver.seen[3].title, QStringLiteral("File contents"));
            bool number = false;
            driver.seen[3].text.toLongLong(&number);
            QVERIFY(number);
        }
        QVERIFY(view->runningProcesses.isEmpty());
    }

    void zipExtraction()
    {
        ModalDriver driver;
        QVERIFY(writeFile(Scratch + QStringLiteral("/Book.zip"),
                          makeZip({ { "chapter.txt", "one" }, { "part/two.txt", "two" } })));
        QVERIFY(writeFile(Scratch + QStringLiteral("/NOTES.ZIP"), makeZip({ { "n.txt", "notes" } })));
        const QStringList targets = { QStringLiteral("Book"), QStringLiteral("Book.0"),
                                      QStringLiteral("Book.1") };
        for (const QString& name : targets) {
            QVERIFY(show(Scratch));
            driver.answers = { QMessageBox::Yes };
            activate(Scratch + QStringLiteral("/Book.zip"));
            // Shown at once, filled in the background.
            QCOMPARE(view->dir.canonicalPath(), Scratch + QLatin1Char('/') + name);
            QVERIFY(allCollected());
            QCOMPARE(readFile(Scratch + QLatin1Char('/') + name + QStringLiteral("/chapter.txt")),
                     QByteArray("one"));
            QCOMPARE(readFile(Scratch + QLatin1Char('/') + name + QStringLiteral("/part/two.txt")),
                     QByteArray("two"));
        }
        QCOMPARE(driver.seen[0].title, QStringLiteral(".zip file activated"));
        QCOMPARE(driver.seen[0].text, QStringLiteral("Extract files from ZIP archive?"));
        QCOMPARE(driver.seen[0].icon, int(QMessageBox::Question));
        // unzip's own report follows each extraction.
        QCOMPARE(driver.seen[1].title, QStringLiteral("Program output"));
        QVERIFY(driver.seen[1].text.contains(QStringLiteral("chapter.txt")));

        // No: nothing is made. Upper-case .ZIP is offered too.
        QVERIFY(show(Scratch));
        driver.seen.clear();
        driver.answers = { QMessageBox::No };
        activate(Scratch + QStringLiteral("/Book.zip"));
        QCOMPARE(driver.seen.size(), 1);
        QVERIFY(!QFile::exists(Scratch + QStringLiteral("/Book.2")));
        QCOMPARE(view->dir.canonicalPath(), Scratch);
        driver.answers = { QMessageBox::Yes };
        activate(Scratch + QStringLiteral("/NOTES.ZIP"));
        QVERIFY(allCollected());
        QCOMPARE(readFile(Scratch + QStringLiteral("/NOTES/n.txt")), QByteArray("notes"));
        // The archives' files went into their directories only.
        QVERIFY(!QFile::exists(Scratch + QStringLiteral("/chapter.txt")));

        // No directory can be made: an error, and unzip never runs.
        const QString locked = Scratch + QStringLiteral("/locked");
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(writeFile(locked + QStringLiteral("/Book.zip"), makeZip({ { "f.txt", "x" } })));
        QVERIFY(show(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        driver.seen.clear();
        driver.answers = { QMessageBox::Yes };
        QVERIFY(setReadOverride(false));
        activate(locked + QStringLiteral("/Book.zip"));
        QVERIFY(setReadOverride(true));
        QCOMPARE(driver.seen.size(), 2);
        QCOMPARE(driver.seen[1].title, QStringLiteral("Error!"));
        QCOMPARE(driver.seen[1].text, QStringLiteral("Can not create directory Book"));
        QVERIFY(view->runningProcesses.isEmpty());
        QCOMPARE(view->dir.canonicalPath(), locked);
    }

    void zipNames()
    {
        ModalDriver driver;
        QStringList names = AwkwardNames;
        names << QStringLiteral("w[1]*?") << QStringLiteral("back\\slash")
              << QStringLiteral("[!x]") << QStringLiteral("-o");
        // What a pattern made of those names would match instead.
        QVERIFY(writeFile(Scratch + QStringLiteral("/w1ab.zip"), makeZip({ { "f.txt", "decoy" } })));
        QVERIFY(writeFile(Scratch + QStringLiteral("/y.zip"), makeZip({ { "f.txt", "decoy" } })));
        for (const QString& name : names) {
            QVERIFY(writeFile(Scratch + QLatin1Char('/') + name + QStringLiteral(".zip"),
                              makeZip({ { "f.txt", name.toUtf8() } })));
        }
        for (const QString& name : names) {
            QVERIFY(show(Scratch));
            driver.answers = { QMessageBox::Yes };
            activate(Scratch + QLatin1Char('/') + name + QStringLiteral(".zip"));
            QVERIFY(allCollected());
            QCOMPARE(readFile(Scratch + QLatin1Char('/') + name + QStringLiteral("/f.txt")),
                     name.toUtf8());
        }
        for (const ModalSeen& s : qAsConst(driver.seen))
            QVERIFY2(s.title != QStringLiteral("Exec error!"), qPrintable(s.text));
        // Nothing but the archives and their directories, and nothing ran.
        const QStringList entries = QDir(Scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                            | QDir::Hidden | QDir::System);
        QCOMPARE(entries.size(), 2 + 2 * names.size());
        QVERIFY(!QFile::exists(Log));

        // A name that begins with a dot still gets a directory of its own.
        QVERIFY(show(Scratch));
        QVERIFY(writeFile(Scratch + QStringLiteral("/.hidden.zip"), makeZip({ { "f.txt", "h" } })));
        driver.answers = { QMessageBox::Yes };
        activate(Scratch + QStringLiteral("/.hidden.zip"));
        QVERIFY(allCollected());
        QCOMPARE(readFile(Scratch + QStringLiteral("/.hidden/f.txt")), QByteArray("h"));
        QVERIFY(!QFile::exists(Scratch + QStringLiteral("/f.txt")));
    }

    void programsAndOtherFiles()
    {
        ModalDriver driver;
        for (const QString& name : AwkwardNames) {
            QFile::remove(Log);
            QVERIFY(writeFile(Scratch + QLatin1Char('/') + name, loggingScript(), Executable));
            // The first word of the name, as a decoy.
            const QString first = name.section(QLatin1Char(' '), 0, 0);
            if (first != name)
                QVERIFY(writeFile(Scratch + QLatin1Char('/') + first, loggingScript("WRONG"),
                                  Executable));
            activate(Scratch + QLatin1Char('/') + name);
            QVERIFY(allCollected());
            QTRY_COMPARE(QString::fromUtf8(readFile(Log)), Scratch + QLatin1Char('/') + name);
        }
        QFile::remove(Log);
        QVERIFY(QFile::copy(QStringLiteral("/bin/true"), Scratch + QStringLiteral("/run me")));
        activate(Scratch + QStringLiteral("/run me"));
        QVERIFY(allCollected());
        QVERIFY(driver.seen.isEmpty());

        QVERIFY(writeFile(Scratch + QStringLiteral("/my notes.txt"), "Nothing to run in here.\n"));
        activate(Scratch + QStringLiteral("/my notes.txt"));
        QVERIFY(writeFile(Scratch + QStringLiteral("/plain.txt"), "Nothing to run in here.\n"));
        activate(Scratch + QStringLiteral("/plain.txt"));
        QVERIFY(writeFile(Scratch + QStringLiteral("/tiny"), "#!/bin/\n", Executable));
        activate(Scratch + QStringLiteral("/tiny"));
        QCOMPARE(driver.seen.size(), 3);
        QCOMPARE(driver.seen[0].title, QStringLiteral("Info"));
        QCOMPARE(driver.seen[0].icon, int(QMessageBox::Information));
        QCOMPARE(driver.seen[0].text,
                 QStringLiteral("Nothing to do with file \"%1/my notes.txt\"").arg(Scratch));
        QCOMPARE(driver.seen[1].text, QStringLiteral("Nothing to do with file %1/plain.txt").arg(Scratch));
        QCOMPARE(driver.seen[2].text, QStringLiteral("Nothing to do with file %1/tiny").arg(Scratch));
        QVERIFY(!QFile::exists(Log));
    }

    void runDialog()
    {
        ModalDriver driver;
        const QStringList runNames = AwkwardNames + QStringList{ QStringLiteral("plain"),
                                                                 QStringLiteral("ls") };
        for (const QString& name : runNames) {
            QFile::remove(Log);
            QVERIFY(writeFile(Scratch + QLatin1Char('/') + name, loggingScript(), Executable));
            view->setCurrentIndex(indexOf(Scratch + QLatin1Char('/') + name));
            QVERIFY(view->selectionModel()->hasSelection());
            QString initial, title;
            driver.actions = { [&](QDialog* dialog) {
                auto* keyboard = qobject_cast<ui::VexaKeyboardDialog*>(dialog);
                QVERIFY(keyboard != nullptr);
                title = keyboard->title();
                initial = keyboard->lineEdit()->text();
                dialog->accept();
            } };
            view->actionRun();
            QCOMPARE(title, QStringLiteral("Program command line"));
            QVERIFY2(initial.endsWith(QLatin1Char(' ')), qPrintable(initial));
            // A name that is also a command on the search path is marked as
            // the file here.
            const QString word = name == QStringLiteral("ls") ? QStringLiteral("./ls") : name;
            QCOMPARE(QProcess::splitCommand(initial), QStringList{ word });
            QVERIFY(allCollected());
            QTRY_COMPARE(QString::fromUtf8(readFile(Log)), QStringLiteral("./") + name);
            if (name == QStringLiteral("my prog"))
                QCOMPARE(initial, QStringLiteral("\"my prog\" "));
            if (name == QStringLiteral("plain"))
                QCOMPARE(initial, QStringLiteral("plain "));
        }
        for (const ModalSeen& s : qAsConst(driver.seen))
            QVERIFY2(s.title != QStringLiteral("Exec error!"), qPrintable(s.text));

        // Nothing selected: an empty line; a command that can't start.
        view->clearSelection();
        driver.seen.clear();
        QString initial = QStringLiteral("unset");
        driver.actions = { [&](QDialog* dialog) {
            auto* keyboard = static_cast<ui::VexaKeyboardDialog*>(dialog);
            initial = keyboard->lineEdit()->text();
            keyboard->lineEdit()->setText(QStringLiteral("no-such-program \"a b\""));
            dialog->accept();
        } };
        view->actionRun();
        QCOMPARE(initial, QString());
        QCOMPARE(driver.seen.size(), 2);
        QCOMPARE(driver.seen[1].title, QStringLiteral("Exec error!"));
        QCOMPARE(driver.seen[1].icon, int(QMessageBox::Critical));
        QCOMPARE(driver.seen[1].text,
                 QStringLiteral("Can not execute command line:\nno-such-program \"a b\""));

        // Cancelled: nothing runs and no message.
        driver.seen.clear();
        view->actionRun();
        QCOMPARE(driver.seen.size(), 1);
        QVERIFY(view->runningProcesses.isEmpty());
    }

    void dialogsReachThePanel()
    {
        ScreenCapture capture;
        QVERIFY(capture.bind());
        screenWatcher.start(50);
        ModalDriver driver;
        bool shownOnOpen = false;
        auto updateArrives = [&capture] {
            return QTest::qWaitFor([&capture] {
                for (const ScreenCommand& c : capture.take(10))
                    if (c.type == ScreenCommand::UPDATE_SCREEN
                        || c.type == ScreenCommand::UPDATE_REGION)
                        return true;
                return false;
            }, 3000);
        };
        driver.whileOpen = [&](QWidget*) {
            shownOnOpen = updateArrives();
            QTest::qWait(100);
            capture.take(10);
        };
        auto check = [&](const char* what, const std::function<void()>& open) {
            // Let earlier updates go out (the watcher ticks every 50 ms) and
            // drop them, so only this dialog's updates count.
            QTest::qWait(400);
            capture.take(10);
            shownOnOpen = false;
            const int before = driver.seen.size();
            open();
            QVERIFY2(driver.seen.size() > before, what);
            QVERIFY2(shownOnOpen, what);
            QVERIFY2(updateArrives(), what); // the window under it again
        };

        QVERIFY(writeFile(Scratch + QStringLiteral("/Book.zip"), makeZip({ { "f", "x" } })));
        QVERIFY(writeFile(Scratch + QStringLiteral("/text"), "just some text\n"));
        check("question", [&] {
            driver.answers = { QMessageBox::No };
            activate(Scratch + QStringLiteral("/Book.zip"));
        });
        check("information", [&] { activate(Scratch + QStringLiteral("/text")); });
        check("output window", [&] { QVERIFY(view->runProgram(QStringLiteral("echo hello"))); allCollected(); });
        check("keyboard dialog", [&] { view->actionRun(); });
        check("exec error", [&] {
            driver.actions = { [](QDialog* dialog) {
                static_cast<ui::VexaKeyboardDialog*>(dialog)->lineEdit()->setText(
                    QStringLiteral("no-such-program"));
                dialog->accept();
            } };
            view->actionRun();
        });
        QVERIFY(show(QStringLiteral("/proc")));
        check("kmsg warning", [&] { activate(QStringLiteral("/proc/kmsg")); });
        check("file contents", [&] { activate(QStringLiteral("/proc/version")); });
        screenWatcher.start(3600 * 1000);
    }
};

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
