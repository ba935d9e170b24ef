#include "browser/delegate.h"
#include "support/sandbox.h"
#include "browser/fs_model.h"
#include "browser/screencapture.h"
#include "browser/screen_watcher.h"
#include "support/modal.h"
#include "support/views.h"
#include "fileops/file_dialog.h"
#include "fileops/info_dialog.h"
#include "fileopstestutil.h"
#include "platform/ui/vexakeyboard.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"

#include <QAbstractItemView>
#include <QFormLayout>
#include <QItemSelectionModel>
#include <QLabel>

#include <functional>

using support::indexOf;
using support::rowIndex;
using support::showDirectory;
using support::waitListed;

namespace {

const QString Work = QStringLiteral("/tmp/lirro_commands");

QString p(const QString& rel)
{
    return Work + QLatin1Char('/') + rel;
}

// Runs act on the next modal dialog of type T, from inside its modal loop;
// a dialog still open 10 s later is rejected so that a failure can't hang.
template<typename T>
void whenDialogOpens(std::function<void(T*)> act)
{
    auto* poll = new QTimer;
    auto* started = new QElapsedTimer;
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, started, act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            if (started->elapsed() > 10000) {
                poll->deleteLater();
                delete started;
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        delete started;
        QPointer<T> guard(dialog);
        act(dialog);
        QTimer::singleShot(10000, [guard] {
            if (guard) {
                qWarning("dialog left open; rejecting");
                guard->reject();
            }
        });
    });
    poll->start(5);
}

// Types text into the keyboard dialog's edit (replacing what it holds)
// and presses the on-screen Enter with the device's keys: from the
// starting key, Up, Up, Left reaches it, and OK presses it.
void typeAndEnter(ui::VexaKeyboardDialog* dialog, const QString& text)
{
    QWidget* edit = dialog->lineEdit();
    dialog->lineEdit()->clear();
    QTest::keyClicks(edit, text);
    for (Qt::Key k : { Qt::Key_Up, Qt::Key_Up, Qt::Key_Left })
        QTest::keyClick(edit, k);
    QCOMPARE(dialog->keyboard()->focusedKey(), dialog->keyboard()->controlKey(ui::KeyboardData::ENTER));
    QTest::keyClick(edit, Qt::Key_Return);
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
    QStringList list = QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    list.sort();
    return list;
}

// The form's rows as "label value" pairs.
QList<QPair<QString, QString>> formRows(INFO_DIALOG* dialog)
{
    QList<QPair<QString, QString>> rows;
    auto* form = qobject_cast<QFormLayout*>(dialog->layout());
    if (form == nullptr)
        return rows;
    for (int r = 0; r < form->rowCount(); ++r) {
        auto* label = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::LabelRole)->widget());
        auto* value = qobject_cast<QLabel*>(form->itemAt(r, QFormLayout::FieldRole)->widget());
        rows.append({ label->text(), value->text() });
    }
    return rows;
}

QStringList labelsOf(const QList<QPair<QString, QString>>& rows)
{
    QStringList labels;
    for (const auto& row : rows)
        labels << row.first;
    return labels;
}

QString valueOf(const QList<QPair<QString, QString>>& rows, const QString& label)
{
    for (const auto& row : rows) {
        if (row.first == label + QStringLiteral(": "))
            return row.second;
    }
    return QStringLiteral("<no row>");
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
    }

    void init() { QVERIFY(freshDir(Work)); }

    void clipboardKeepsTheChosenFiles()
    {
        for (const char* name : { "a", "b", "c", "d" })
            QVERIFY(writeFile(p("src/") + name, QByteArray("first ") + name));
        QVERIFY(QDir().mkpath(p("dst")));
        TestView view;
        view.show();
        QVERIFY(showDirectory(view, p("src")));
        selectRows(view, { "b", "c" });
        view.multiSelect = true;
        view.actionCopy();
        QCOMPARE(int(view.operationKind), int(CopyOperation));
        QVERIFY(!view.multiSelect);
        QCOMPARE(view.clipboard.size(), 2);

        // The list changes under the clipboard: rows before the chosen ones
        // come and go, and a chosen file is replaced (its row dropped, which
        // leaves its index invalid, and listed anew); then the user walks
        // elsewhere.
        QVERIFY(QFile::remove(p("src/a")));
        QVERIFY(writeFile(p("src/0new"), "new"));
        QVERIFY(writeFile(p("src/ba"), "between"));
        QVERIFY(QFile::remove(p("src/b")));
        QVERIFY(QTest::qWaitFor([&] { return !view.clipboard.at(0).isValid(); }, 5000));
        QVERIFY(writeFile(p("src/b"), "second b"));
        QVERIFY(waitListed(view));
        QVERIFY(showDirectory(view, p("dst")));

        view.actionPaste();
        QCOMPARE(entries(p("dst")), QStringList() << "b" << "c");
        QCOMPARE(readFile(p("dst/b")), QByteArray("second b"));
        QCOMPARE(readFile(p("dst/c")), QByteArray("first c"));
        // A second Paste does nothing.
        QVERIFY(view.clipboard.isEmpty());
        QVERIFY(QFile::remove(p("dst/b")));
        view.actionPaste();
        QCOMPARE(entries(p("dst")), QStringList() << "c");

        // Cut arms a move; a Copy of other items after it turns it into a
        // copy of those.
        QVERIFY(showDirectory(view, p("src")));
        selectRows(view, { "d" });
        view.actionCut();
        QCOMPARE(int(view.operationKind), int(MoveOperation));
        selectRows(view, { "ba" });
        view.actionCopy();
        QVERIFY(showDirectory(view, p("dst")));
        view.actionPaste();
        QCOMPARE(entries(p("dst")), QStringList() << "ba" << "c");
        QVERIFY(QFileInfo::exists(p("src/ba")));
        QVERIFY(QFileInfo::exists(p("src/d")));
    }

    void deleteQuestion()
    {
        for (const char* name : { "a", "b", "c" })
            QVERIFY(writeFile(p("d/") + name, name));
        QVERIFY(writeFile(p("d/sub/x"), "x"));
        TestView view;
        view.show();
        QVERIFY(showDirectory(view, p("d")));

        // No after a Cut: nothing deleted, the move disarmed, and Paste
        // (still offered) changes nothing.
        selectRows(view, { "a" });
        view.actionCut();
        selectRows(view, { "b", "sub" });
        {
            BoxAnswerer answers({ QMessageBox::No });
            view.actionDelete();
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().icon, QMessageBox::Question);
            QCOMPARE(answers.seen.first().title, QStringLiteral("Deleting files/dirs"));
            QCOMPARE(answers.seen.first().text,
                     QStringLiteral("You are about to delete 2 item(s).\nAre you sure you want to continue?"));
            QCOMPARE(answers.seen.first().buttons, QMessageBox::Yes | QMessageBox::No);
        }
        QCOMPARE(int(view.operationKind), int(NoOperation));
        QVERIFY(!view.clipboard.isEmpty());
        QVERIFY(QDir().mkpath(p("elsewhere")));
        QVERIFY(showDirectory(view, p("elsewhere")));
        view.actionPaste();
        QCOMPARE(entries(p("elsewhere")), QStringList());
        QCOMPARE(entries(p("d")), QStringList() << "a" << "b" << "c" << "sub");

        QVERIFY(showDirectory(view, p("d")));
        selectRows(view, { "b", "sub" });
        {
            BoxAnswerer answers({ QMessageBox::Yes });
            view.actionDelete();
            QCOMPARE(answers.seen.size(), 1);
        }
        QCOMPARE(entries(p("d")), QStringList() << "a" << "c");
        QVERIFY(view.clipboard.isEmpty());
        QVERIFY(!view.selectionModel()->hasSelection());
    }

    void keyboardPrompts()
    {
        QVERIFY(writeFile(p("k/b"), "bee"));
        QVERIFY(writeFile(p("k/c"), "sea"));
        QVERIFY(writeFile(p("k/dir/inner"), "in"));
        TestView view;
        view.show();
        QVERIFY(showDirectory(view, p("k")));

        // Rename through the keyboard dialog, to a name with a blank.
        selectRows(view, { "b" });
        QString title;
        QString initial;
        whenDialogOpens<ui::VexaKeyboardDialog>([&](ui::VexaKeyboardDialog* dialog) {
            title = dialog->title();
            initial = dialog->lineEdit()->text();
            typeAndEnter(dialog, QStringLiteral("b renamed"));
        });
        view.actionRename();
        QCOMPARE(title, QStringLiteral("Rename \"b\" to"));
        QCOMPARE(initial, QStringLiteral("b"));
        QCOMPARE(entries(p("k")), QStringList() << "b renamed" << "c" << "dir");
        QVERIFY(view.clipboard.isEmpty());
        QVERIFY(waitListed(view));

        // The same name, and a cancelled dialog, do nothing and ask nothing.
        selectRows(view, { "c" });
        {
            BoxAnswerer answers;
            whenDialogOpens<ui::VexaKeyboardDialog>([](ui::VexaKeyboardDialog* dialog) {
                typeAndEnter(dialog, QStringLiteral("c"));
            });
            view.actionRename();
            whenDialogOpens<ui::VexaKeyboardDialog>([](ui::VexaKeyboardDialog* dialog) {
                QTest::keyClick(dialog->lineEdit(), Qt::Key_Escape);
            });
            view.actionCopyTo();
            QCOMPARE(answers.seen.size(), 0);
        }
        QCOMPARE(entries(p("k")), QStringList() << "b renamed" << "c" << "dir");

        // Rename onto an existing name: the move's prompt, without No.
        {
            BoxAnswerer answers({ QMessageBox::Cancel });
            whenDialogOpens<ui::VexaKeyboardDialog>([](ui::VexaKeyboardDialog* dialog) {
                typeAndEnter(dialog, QStringLiteral("b renamed"));
            });
            view.actionRename();
            QCOMPARE(answers.seen.size(), 1);
            QCOMPARE(answers.seen.first().buttons,
                     QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::Cancel);
        }
        QCOMPARE(readFile(p("k/b renamed")), QByteArray("bee"));

        // Copy to... a directory under a new name.
        selectRows(view, { "dir" });
        whenDialogOpens<ui::VexaKeyboardDialog>([&](ui::VexaKeyboardDialog* dialog) {
            title = dialog->title();
            typeAndEnter(dialog, QStringLiteral("dir copy"));
        });
        view.actionCopyTo();
        QCOMPARE(title, QStringLiteral("Copy \"dir\" to"));
        QCOMPARE(readFile(p("k/dir copy/inner")), QByteArray("in"));
        QCOMPARE(readFile(p("k/dir/inner")), QByteArray("in"));

        // Make dir: "NewDir" offered; the second one fails with its message.
        QVERIFY(waitListed(view));
        selectRows(view, { "c" });
        view.rememberedIndex = QPersistentModelIndex();
        for (int i = 0; i < 2; ++i) {
            BoxAnswerer answers({ QMessageBox::Ok });
            whenDialogOpens<ui::VexaKeyboardDialog>([&](ui::VexaKeyboardDialog* dialog) {
                title = dialog->title();
                initial = dialog->lineEdit()->text();
                QTest::keyClick(dialog->lineEdit(), Qt::Key_Up);
                QTest::keyClick(dialog->lineEdit(), Qt::Key_Up);
                QTest::keyClick(dialog->lineEdit(), Qt::Key_Left);
                QTest::keyClick(dialog->lineEdit(), Qt::Key_Return);
            });
            view.actionMkDir();
            QCOMPARE(title, QStringLiteral("Name for new directory"));
            QCOMPARE(initial, QStringLiteral("NewDir"));
            QCOMPARE(answers.seen.size(), i);
            if (i == 1) {
                QCOMPARE(answers.seen.first().icon, QMessageBox::Critical);
                QCOMPARE(answers.seen.first().title, QStringLiteral("Error!"));
                QCOMPARE(answers.seen.first().text, QStringLiteral("Directory \"NewDir\" creation failed"));
            }
            QVERIFY(QFileInfo(p("k/NewDir")).isDir());
            QVERIFY(view.rememberedIndex.isValid());
        }
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
        QVERIFY(freshDir(media));
        QVERIFY(writeFile(media + "/.run", "#!/bin/sh\n", 0755));

        TestView view;
        view.show();
        view.actionHidden(true);
        QVERIFY(showDirectory(view, p("i")));
        QList<QPair<QString, QString>> rows;
        auto info = [&](FS_VIEW& v, const QStringList& names) {
            selectRows(v, names);
            rows.clear();
            whenDialogOpens<INFO_DIALOG>([&](INFO_DIALOG* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Information on item"));
                QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
                rows = formRows(dialog);
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
            view.actionInfo();
        };

        info(view, { "plain.txt" });
        QCOMPARE(labelsOf(rows), QStringList() << "Name: " << "Type: " << "Size: " << "Permissions: "
                                               << "Creation time: " << "Last modified: " << "Last read: ");
        QCOMPARE(valueOf(rows, "Name"), QStringLiteral("plain.txt"));
        QCOMPARE(valueOf(rows, "Type"), QStringLiteral("file"));
        QCOMPARE(valueOf(rows, "Size"), QLocale::system().toString(qint64(1234)) + " bytes");
        QCOMPARE(valueOf(rows, "Permissions"), QStringLiteral("rw- r-- --- "));
        QCOMPARE(valueOf(rows, "Last modified"),
                 QLocale().toString(QFileInfo(p("i/plain.txt")).lastModified(), QLocale::ShortFormat));

        info(view, { ".run" });
        QCOMPARE(valueOf(rows, "Type"), QStringLiteral("hidden executable file"));
        QCOMPARE(valueOf(rows, "Permissions"), QStringLiteral("rwx r-x r-x "));

        // A name is shown as it is, never as markup.
        info(view, { "<b>tag" });
        QCOMPARE(valueOf(rows, "Name"), QStringLiteral("<b>tag"));

        // A link to a directory: its target, and totals by counting.
        view.actionCut();
        info(view, { "dlink" });
        QCOMPARE(valueOf(rows, "Type"), QStringLiteral("symbolic link to directory"));
        QCOMPARE(valueOf(rows, "points to"), p("i/dir"));

        info(view, { "dir" });
        QVERIFY(labelsOf(rows).contains("Total size: "));
        QCOMPARE(valueOf(rows, "Total size"), QStringLiteral("3 bytes"));
        QCOMPARE(valueOf(rows, "in"), QStringLiteral("1 dirs and 2 files"));
        QVERIFY(!labelsOf(rows).contains("Size: "));
        // The count disarmed the pending Cut like every operation.
        QVERIFY(view.clipboard.isEmpty());
        QCOMPARE(int(view.operationKind), int(NoOperation));

        info(view, { "plain.txt", ".run" });
        QCOMPARE(valueOf(rows, "in"), QStringLiteral("0 dirs and 2 files"));
        QCOMPARE(valueOf(rows, "Total size"), QLocale::system().toString(qint64(1244)) + " bytes");

        // Nothing on the device's media says executable.
        QVERIFY(showDirectory(view, media));
        info(view, { ".run" });
        QCOMPARE(valueOf(rows, "Type"), QStringLiteral("hidden file"));
        QVERIFY(freshDir(media) && QDir().rmdir(media));

        QCOMPARE(TestView::permissionTriple(0), QStringLiteral("--- "));
        QCOMPARE(TestView::permissionTriple(5), QStringLiteral("r-x "));
        QCOMPARE(TestView::permissionTriple(2), QStringLiteral("-w- "));
    }

    void fileDialog()
    {
        QVERIFY(writeFile(p("f/splash.png"), "png"));
        QVERIFY(writeFile(p("f/other.txt"), "txt"));
        QString chosen = QStringLiteral("<not run>");
        bool hasDelegate = false;
        bool focusMoved = false;
        whenDialogOpens<FILE_DIALOG>([&](FILE_DIALOG* dialog) {
            QVERIFY(!dialog->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
            for (QAbstractItemView* v : dialog->findChildren<QAbstractItemView*>()) {
                if (qobject_cast<DELEGATE*>(v->itemDelegate()) != nullptr)
                    hasDelegate = true;
            }
            QWidget* before = dialog->focusWidget();
            QTest::keyRelease(dialog, Qt::Key_Menu);
            focusMoved = dialog->focusWidget() != before;
            dialog->selectFile(p("f/splash.png"));
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        chosen = chooseExistingFile(nullptr, QStringLiteral("Choose"), p("f"), QStringLiteral("*.png"),
                                    QFileDialog::Options());
        QCOMPARE(chosen, p("f/splash.png"));
        QVERIFY(hasDelegate);
        QVERIFY(focusMoved);

        whenDialogOpens<FILE_DIALOG>([](FILE_DIALOG* dialog) { dialog->reject(); });
        QCOMPARE(chooseExistingFile(nullptr, QStringLiteral("Choose"), p("f"), QString(),
                                    QFileDialog::Options()),
                 QString());
    }

    // Each dialog reaches the emulated panel when it opens, and the panel is
    // updated again once it has closed.
    void dialogsReachThePanel()
    {
        ScreenCapture capture;
        QVERIFY(capture.bind());
        QVERIFY(writeFile(p("s/a"), "a"));
        QVERIFY(writeFile(p("t/a"), "old"));
        TestView view;
        screenWatcher.watch(&view);
        screenWatcher.start(200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(showDirectory(view, p("s")));
        QTest::qWait(400);
        capture.take(0);

        auto updated = [&capture] {
            const bool got = QTest::qWaitFor([&] { return capture.socket.hasPendingDatagrams(); }, 2000);
            capture.take(0);
            return got;
        };
        struct Case
        {
            const char* name;
            std::function<void()> run;
        };
        bool openSeen = false;
        // What arrives after settle() and before the dialog closes is the
        // dialog's own update (it may have gone out before this runs).
        auto onOpen = [&](QDialog* dialog, std::function<void()> close) {
            openSeen = updated() && dialog->isVisible();
            close();
        };
        // Whatever the selection change sends goes out before the dialog opens.
        auto settle = [&] {
            QTest::qWait(400);
            capture.take(0);
        };
        const QList<Case> cases = {
            { "Delete question", [&] {
                  selectRows(view, { "a" });
                  settle();
                  whenDialogOpens<QMessageBox>([&](QMessageBox* box) {
                      onOpen(box, [box] { box->button(QMessageBox::No)->click(); });
                  });
                  view.actionDelete();
              } },
            { "keyboard dialog", [&] {
                  selectRows(view, { "a" });
                  settle();
                  whenDialogOpens<ui::VexaKeyboardDialog>([&](ui::VexaKeyboardDialog* d) {
                      onOpen(d, [d] { QTest::keyClick(d->lineEdit(), Qt::Key_Escape); });
                  });
                  view.actionRename();
              } },
            { "Information dialog", [&] {
                  selectRows(view, { "a" });
                  settle();
                  whenDialogOpens<INFO_DIALOG>([&](INFO_DIALOG* d) { onOpen(d, [d] { d->reject(); }); });
                  view.actionInfo();
              } },
            { "failure message", [&] {
                  view.clipboardPaths = QStringList() << p("missing");
                  settle();
                  whenDialogOpens<QMessageBox>([&](QMessageBox* box) {
                      onOpen(box, [box] { box->button(QMessageBox::Ok)->click(); });
                  });
                  view.performOperation(CopyOperation, QString());
              } },
            { "overwrite question", [&] {
                  selectRows(view, { "a" });
                  view.actionCopy();
                  QVERIFY(showDirectory(view, p("t")));
                  settle();
                  whenDialogOpens<QMessageBox>([&](QMessageBox* box) {
                      onOpen(box, [box] { box->button(QMessageBox::Cancel)->click(); });
                  });
                  view.actionPaste();
              } },
        };
        for (const Case& c : cases) {
            openSeen = false;
            c.run();
            QVERIFY2(openSeen, c.name);
            QVERIFY2(QApplication::activeModalWidget() == nullptr, c.name);
            QVERIFY2(updated(), c.name);
        }
        QCOMPARE(readFile(p("t/a")), QByteArray("old"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
