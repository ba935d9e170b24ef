#include "browser/delegate.h"
#include "browser/screen_watcher.h"
#include "fileops/file_dialog.h"
#include "fileops/info_dialog.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"
#include "support/views.h"

#include <QFormLayout>
#include <QLabel>

using namespace support;

namespace {

const QString Work = QStringLiteral("/tmp/lirro_commands");

QString p(const QString& relative)
{
    return Work + QLatin1Char('/') + relative;
}

void selectRows(FS_VIEW& view, const QStringList& names)
{
    view.clearSelection();
    for (const QString& name : names) {
        const QModelIndex index = indexOf(view, name);
        QVERIFY2(index.isValid(), qPrintable(name));
        view.selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
}

QStringList entries(const QString& path)
{
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The keyboard dialog's answer: what it offered and its title noted, then
// text entered (the offer kept when text is empty) or, for a null text,
// the dialog cancelled.
std::function<void(QDialog*)> keyboard(const QString& text, QString* seen = nullptr)
{
    return [=](QDialog* dialog) {
        auto* keys = static_cast<ui::VexaKeyboardDialog*>(dialog);
        if (seen != nullptr)
            *seen = keys->title() + ": " + keys->lineEdit()->text();
        if (!text.isEmpty())
            keys->lineEdit()->setText(text);
        text.isNull() ? dialog->reject() : dialog->accept();
    };
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void init() { QVERIFY(freshDir(Work)); }

    // Paste takes the files that were chosen, whatever happened to the list
    // meanwhile; declining a Delete, an Information, a Rename or a Copy to
    // leave a pending Copy or Cut armed; Paste is offered when it would act.
    void clipboardAndIntentions()
    {
        for (const char* name : { "a", "b", "c", "d" })
            QVERIFY(writeFile(p("src/") + name, QByteArray("first ") + name));
        QVERIFY(writeFile(p("src/dir/x"), "x"));
        QVERIFY(QDir().mkpath(p("dst")));
        TestView view;
        view.show();
        QVERIFY(showDirectory(view, p("src")));
        selectRows(view, { "b", "c" });
        view.multiSelect = true;
        view.actionCopy();
        QVERIFY(!view.multiSelect && view.canPaste());
        QVERIFY(QFile::remove(p("src/a")) && writeFile(p("src/0new"), "new") && QFile::remove(p("src/b")));
        QVERIFY(QTest::qWaitFor([&] { return !view.clipboard.at(0).isValid(); }, 5000));
        QVERIFY(writeFile(p("src/b"), "second b"));
        QVERIFY(waitListed(view));

        ModalDriver driver({ QMessageBox::No });
        selectRows(view, { "dir" });
        view.actionDelete(); // No
        driver.actions = { [](QDialog* d) { d->reject(); }, keyboard(QStringLiteral("dir2")) };
        view.actionInfo();
        view.actionRename();
        QCOMPARE(driver.seen.size(), 3);
        QCOMPARE(driver.seen.first().text, QStringLiteral("You are about to delete 1 item(s).\nAre you sure you want to continue?"));
        QVERIFY(view.canPaste());
        QVERIFY(showDirectory(view, p("dst")));
        view.actionPaste();
        QCOMPARE(entries(p("dst")), QStringList({ "b", "c" }));
        QCOMPARE(readFile(p("dst/b")), QByteArray("second b"));
        QVERIFY(!view.canPaste());

        // Cut arms a move; a Copy of other items after it turns it into a copy.
        QVERIFY(showDirectory(view, p("src")));
        selectRows(view, { "d" });
        view.actionCut();
        selectRows(view, { "c" });
        view.actionCopy();
        QVERIFY(showDirectory(view, p("dst")));
        driver.answers = { QMessageBox::Yes };
        view.actionPaste();
        QCOMPARE(entries(p("src")), QStringList({ "0new", "b", "c", "d", "dir2" }));
        QCOMPARE(readFile(p("dst/c")), QByteArray("first c"));
    }

    void names_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("message");
        const QString refused = QStringLiteral("\"%1\" is not a name for a file or directory");
        for (const char* command : { "Rename", "Copy", "New directory" }) {
            for (const char* name : { ".", "..", "a/b", "/" })
                QTest::addRow("%s %s", command, name) << command << name << QStringList({ "b", "dir" })
                                                      << refused.arg(name);
        }
        QTest::newRow("rename") << "Rename" << "b renamed" << QStringList({ "b renamed", "dir" }) << "";
        QTest::newRow("same name") << "Rename" << "b" << QStringList({ "b", "dir" }) << "";
        QTest::newRow("cancelled") << "Copy" << QString() << QStringList({ "b", "dir" }) << "";
        QTest::newRow("copy") << "Copy" << "b copy" << QStringList({ "b", "b copy", "dir" }) << "";
        QTest::newRow("onto another") << "Rename" << "dir" << QStringList({ "b", "dir" })
                                      << "'" + p("dir") + "'' already exists.\nOverwrite?";
        QTest::newRow("new directory") << "New directory" << "" << QStringList({ "NewDir", "b", "dir" }) << "";
        QTest::newRow("existing directory") << "New directory" << "dir" << QStringList({ "b", "dir" })
                                            << "Directory \"dir\" creation failed";
    }

    void names()
    {
        QFETCH(QString, command);
        QFETCH(QString, name);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        QVERIFY(writeFile(p("b"), "bee"));
        QVERIFY(QDir().mkpath(p("dir")));
        TestView view;
        view.show();
        QVERIFY(showDirectory(view, Work));
        selectRows(view, { "b" });
        QString offered;
        ModalDriver driver;
        driver.actions = { keyboard(name, &offered) };
        if (command == QLatin1String("Rename"))
            view.actionRename();
        else if (command == QLatin1String("Copy"))
            view.actionCopyTo();
        else
            view.actionMkDir();
        QCOMPARE(offered, command == QLatin1String("New directory") ? QStringLiteral("Name for new directory: NewDir")
                                                                    : command + QStringLiteral(" \"b\" to: b"));
        QCOMPARE(entries(Work), after);
        QCOMPARE(readFile(p(after.contains("b") ? "b" : "b renamed")), QByteArray("bee"));
        QCOMPARE(driver.seen.size(), message.isEmpty() ? 1 : 2);
        if (!message.isEmpty())
            QCOMPARE(driver.seen.last().text, message);
        if (message.endsWith(QLatin1String("?"))) // a move's question: no No
            QCOMPARE(driver.seen.last().buttons, QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel);
        QVERIFY(view.rememberedIndex.isValid() || command != QLatin1String("New directory"));
    }

    void informationDialog()
    {
        QVERIFY(writeFile(p("i/plain.txt"), QByteArray(1234, 'x'), 0640));
        QVERIFY(writeFile(p("i/.run"), "#!/bin/sh\n", 0755));
        QVERIFY(writeFile(p("i/dir/one"), "1"));
        QVERIFY(writeFile(p("i/dir/two"), "22"));
        QVERIFY(writeFile(p("i/<b>tag"), "t"));
        QVERIFY(QFile::link(p("i/dir"), p("i/dlink")));
        const QString media = QStringLiteral("/media/flash/lirro_info");
        QVERIFY(writeFile(media + "/.run", "#!/bin/sh\n", 0755));
        TestView view;
        view.show();
        view.actionHidden(true);
        QVERIFY(showDirectory(view, p("i")));
        QMap<QString, QString> rows;
        ModalDriver driver;
        auto info = [&](const QStringList& names) {
            selectRows(view, names);
            rows.clear();
            driver.actions = { [&](QDialog* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Information on item"));
                auto* form = qobject_cast<QFormLayout*>(dialog->layout());
                for (int r = 0; form != nullptr && r < form->rowCount(); ++r) {
                    auto* label = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::LabelRole)->widget());
                    auto* value = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::FieldRole)->widget());
                    QCOMPARE(value->textFormat(), Qt::PlainText); // a name is never markup
                    rows.insert(label->text().chopped(2), value->text());
                }
                dialog->reject();
            } };
            view.actionInfo();
        };
        info({ "plain.txt" });
        QCOMPARE(rows.keys(), QStringList({ "Creation time", "Last modified", "Last read", "Name",
                                            "Permissions", "Size", "Type" }));
        QCOMPARE(rows.value("Type") + rows.value("Size") + rows.value("Permissions"),
                 "file" + QLocale::system().toString(qint64(1234)) + " bytesrw- r-- --- ");
        info({ ".run" });
        QCOMPARE(rows.value("Type"), QStringLiteral("hidden executable file"));
        info({ "<b>tag" });
        QCOMPARE(rows.value("Name"), QStringLiteral("<b>tag"));
        info({ "dlink" });
        QCOMPARE(rows.value("Type") + " " + rows.value("points to"), "symbolic link to directory " + p("i/dir"));
        info({ "dir" });
        QCOMPARE(rows.value("Total size") + ", " + rows.value("in"), QStringLiteral("3 bytes, 1 dirs and 2 files"));
        QVERIFY(!rows.contains("Size"));
        info({ "plain.txt", ".run" });
        QCOMPARE(rows.value("in"), QStringLiteral("0 dirs and 2 files"));
        // Nothing on the device's media is said to be executable.
        QVERIFY(showDirectory(view, media));
        info({ ".run" });
        QCOMPARE(rows.value("Type"), QStringLiteral("hidden file"));
    }

    void fileDialog()
    {
        QVERIFY(writeFile(p("f/splash.png"), "png"));
        bool delegated = false;
        bool focusMoved = false;
        ModalDriver driver;
        driver.actions = { [&](QDialog* dialog) {
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
        QVERIFY(!driver.seen.first().flags.testFlag(Qt::WindowContextHelpButtonHint));
        QCOMPARE(chooseExistingFile(nullptr, "Choose", p("f"), QString(), QFileDialog::Options()), QString());
    }

    // Each dialog reaches the panel when it opens, and what it covered is
    // sent again once it has closed.
    void dialogsReachThePanel()
    {
        ScreenListener panel;
        QVERIFY(panel.bind());
        QVERIFY(writeFile(p("s/a"), "a"));
        QVERIFY(writeFile(p("t/a"), "old"));
        TestView view;
        screenWatcher.watch(&view);
        screenWatcher.start(50);
        view.show();
        QVERIFY(showDirectory(view, p("s")));
        selectRows(view, { "a" });
        ModalDriver driver({ QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel });
        bool openSeen = false;
        auto updated = [&] { return QTest::qWaitFor([&] { return panel.socket.hasPendingDatagrams(); }, 3000); };
        driver.whileOpen = [&](QWidget*) { openSeen = updated(); panel.takeAll(); };
        const QList<QPair<const char*, std::function<void()>>> cases = {
            { "Delete question", [&] { view.actionDelete(); } },
            { "keyboard dialog", [&] { view.actionRename(); } },
            { "Information dialog", [&] { view.actionInfo(); } },
            { "failure message", [&] { view.clipboardPaths = QStringList{ p("missing") }; view.performOperation(CopyOperation, QString()); } },
            { "overwrite question", [&] { selectRows(view, { "a" }); view.actionCopy(); QVERIFY(showDirectory(view, p("t"))); view.actionPaste(); } },
            { "output window", [&] { QVERIFY(view.runProgram(QStringLiteral("echo hello"))); QVERIFY(driver.waitSeen(6)); } },
        };
        for (const auto& c : cases) {
            panel.takeAll(300);
            openSeen = false;
            c.second();
            QVERIFY2(openSeen, c.first);
            QVERIFY2(updated(), c.first);
        }
        QCOMPARE(driver.seen.size(), 6);
        QCOMPARE(readFile(p("t/a")), QByteArray("old"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
