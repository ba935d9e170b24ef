#include "browser/delegate.h"
#include "browser/menu.h"
#include "browser/screen_watcher.h"
#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/sandbox.h"
#include "support/views.h"

#include <QAction>
#include <QScrollBar>
#include <QSignalSpy>

using namespace support;

namespace {

const QString Flash = QStringLiteral("/media/flash");
const QString Many = QStringLiteral("/media/flash/many");
const QString SdCard = QStringLiteral("/dev/sdmmc");

// A shown view with the keyboard focus, on a directory fully listed.
bool showFocused(FS_VIEW& view, const QString& path)
{
    QWidget* window = view.window();
    window->resize(600, 700);
    view.resize(600, 700);
    window->show();
    QApplication::setActiveWindow(window);
    view.setFocus();
    return QTest::qWaitForWindowActive(window) && showDirectory(view, path);
}

// Runs check on the local menu once it is open, then closes it.
void whenLocalMenuOpens(const std::function<void(QMenu*)>& check)
{
    whenMenuOpens([check](QMenu* menu) {
        check(menu);
        menu->hide();
    });
}

QAction* entry(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TestFsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); }

    void columnsFillTheViewport()
    {
        FS_VIEW view;
        QVERIFY(showFocused(view, Many));
        QTRY_VERIFY(view.verticalScrollBar()->isVisible());
        QTRY_COMPARE(view.columnWidth(0) + view.columnWidth(1) + view.columnWidth(3),
                     view.viewport()->width());
        QVERIFY(view.isColumnHidden(2));
        QVERIFY(!view.horizontalScrollBar()->isVisible());
    }

    void changingDirectory()
    {
        FS_VIEW view;
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        QString path = QStringLiteral("/media/flash/books/../documents");
        QVERIFY(view.setDirectory(path));
        QCOMPARE(path, QStringLiteral("/media/flash/documents"));
        QCOMPARE(titles.takeLast().at(0).toString(), path);
        QCOMPARE(QDir::currentPath(), path);
        QVERIFY(view.setDirectory(QStringLiteral("../books")));
        // Failures change nothing and say nothing.
        for (const char* bad : { ".", "missing", "/media/flash/README.txt" })
            QVERIFY(!view.setDirectory(bad));
        QCOMPARE(QDir::currentPath(), QStringLiteral("/media/flash/books"));
        QCOMPARE(titles.size(), 1);
        view.multiSelect = true;
        QVERIFY(view.setDirectory(QStringLiteral("/")));
        QVERIFY(!view.multiSelect);
        QVERIFY(!view.setDirectory(QStringLiteral("..")));
    }

    void cursorInANewDirectory()
    {
        FS_VIEW view;
        QVERIFY(showFocused(view, Flash));
        QTRY_COMPARE(view.currentIndex(), rowIndex(view, 0));
        QVERIFY(!view.selectionModel()->hasSelection());
        // The first Down selects the first row; the next one moves.
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectionModel()->selectedRows(), QModelIndexList{ rowIndex(view, 0) });
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.currentIndex().row(), 1);
        // Later changes to the list don't undo the user's move.
        QVERIFY(writeFile(Flash + QStringLiteral("/0_new.txt"), "x"));
        // (Looking the new file up by path would list it behind the model's back.)
        QTRY_COMPARE(view.model->fileName(rowIndex(view, 6)), QStringLiteral("0_new.txt"));
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("dicts"));
        QVERIFY(QFile::remove(Flash + QStringLiteral("/0_new.txt")));

        // A directory of one entry: Up selects it, and Menu reaches the local menu.
        QVERIFY(freshDir(QStringLiteral("/media/flash/one")));
        QVERIFY(writeFile(QStringLiteral("/media/flash/one/only.txt"), "x"));
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/one")));
        QTRY_VERIFY(view.currentIndex().isValid());
        QTest::keyClick(&view, Qt::Key_Up);
        bool opened = false;
        whenLocalMenuOpens([&](QMenu*) { opened = true; });
        QVERIFY(view.actionMenu());
        QVERIFY(opened);
    }

    void backRing_data()
    {
        QTest::addColumn<bool>("sdCard");
        QTest::newRow("flash") << false;
        QTest::newRow("flash and SD card") << true;
    }

    void backRing()
    {
        QFETCH(bool, sdCard);
        QFile::remove(SdCard);
        QVERIFY(!sdCard || writeFile(SdCard, QByteArray()));
        FS_VIEW view;
        QFile::remove(SdCard);
        QCOMPARE(view.history.size(), sdCard ? 2 : 1);
        QVERIFY(showFocused(view, Flash));

        // Walking records nothing: Back alternates over the seeded entries.
        view.setCurrentIndex(indexOf(view, QStringLiteral("books")));
        QTest::keyClick(&view, Qt::Key_Return);
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(view.dir.canonicalPath(), sdCard ? QStringLiteral("/media/sd") : Flash);
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), Flash);

        // A command chosen in a directory: Back returns there, on the row
        // the user was on when leaving.
        QVERIFY(showDirectory(view, Many));
        view.setCurrentIndex(rowIndex(view, 4));
        whenMenuOpens([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Return); });
        QVERIFY(view.actionMenu());
        view.setCurrentIndex(rowIndex(view, 7));
        QVERIFY(showDirectory(view, Flash));
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(view.dir.canonicalPath(), Many);
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("item_008.txt"));

        // An entry whose directory has gone is dropped from the ring.
        QVERIFY(freshDir(QStringLiteral("/media/flash/gone")));
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/gone")));
        view.rememberedIndex = view.rootIndex();
        QVERIFY(showDirectory(view, Flash));
        QVERIFY(QDir(Flash).rmdir(QStringLiteral("gone")));
        const int before = view.history.size();
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), Flash);
        QCOMPARE(view.history.size(), before - 1);
    }

    void localMenu()
    {
        // Where it opens, by key and by long press, is the device suite's.
        FS_VIEW view;
        QVERIFY(showFocused(view, Many));
        view.clearSelection();
        QVERIFY(!view.actionMenu()); // nothing selected: the main window's turn

        view.setCurrentIndex(rowIndex(view, 2));
        QStringList texts;
        bool paste = true;
        auto look = [&](QMenu* menu) {
            texts.clear();
            for (QAction* action : menu->actions())
                texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
            paste = entry(menu, QStringLiteral("Paste"))->isEnabled();
            QCOMPARE(menu->activeAction()->text(), QStringLiteral("Copy"));
        };
        whenLocalMenuOpens(look);
        QVERIFY(view.actionMenu());
        QCOMPARE(texts, (QStringList{ "Copy", "Cut", "Paste", "Delete", "Info", "Multiselect", "|",
                                      "Copy to...", "Rename...", "Edit", "View" }));
        QVERIFY(!paste);
        QVERIFY(!view.rememberedIndex.isValid());
        QVERIFY(QMetaObject::invokeMethod(&view, "actionCopy"));
        whenLocalMenuOpens(look);
        QVERIFY(view.actionMenu());
        QVERIFY(paste);
    }

    void outlineOfTheMovingCursor_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("handedToWatcher");
        QTest::newRow("a cursor step: two rows") << 4 << 3 << 2 << true;
        QTest::newRow("two rows from the top") << 1 << 0 << 2 << false;
        QTest::newRow("three rows") << 4 << 3 << 3 << false;
    }

    void outlineOfTheMovingCursor()
    {
        // A repaint of the two rows a one-row step touches hands the new
        // row's outline, in screen coordinates, to the watcher; any other
        // repaint draws it into the list.
        QFETCH(int, current);
        QFETCH(int, firstRow);
        QFETCH(int, rows);
        FS_VIEW view;
        view.move(30, 40);
        QVERIFY(showFocused(view, Many));
        view.setCurrentIndex(rowIndex(view, current));
        const QRect top = view.visualRect(rowIndex(view, firstRow));
        screenWatcher.highlightRect = QRect();
        view.viewport()->repaint(); // nothing else left to paint
        screenWatcher.highlightRect = QRect();
        view.viewport()->repaint(QRect(0, top.top(), view.viewport()->width(), rows * top.height()));
        QRect cell = view.visualRect(rowIndex(view, current)).intersected(view.viewport()->rect());
        cell.adjust(0, 1, 0, -1);
        QFETCH(bool, handedToWatcher);
        QCOMPARE(screenWatcher.highlightRect,
                 handedToWatcher ? QRect(view.viewport()->mapToGlobal(cell.topLeft()), cell.size()) : QRect());
        // Repainted whole before the panel's tick, the list draws the frame
        // itself: the outline waiting from the step is dropped.
        view.viewport()->repaint();
        QCOMPARE(screenWatcher.highlightRect, QRect());
    }

    void showHidden()
    {
        FS_VIEW view;
        QVERIFY(showDirectory(view, Flash));
        const int plain = view.model->rowCount(view.rootIndex());
        view.actionHidden(true);
        QVERIFY(waitListed(view));
        QCOMPARE(view.model->rowCount(view.rootIndex()), plain + 2); // .config, .hidden_note
        // Even the current row goes when it is a hidden one.
        view.setCurrentIndex(indexOf(view, QStringLiteral(".config")));
        view.actionHidden(false);
        QVERIFY(!view.selectionModel()->hasSelection());
        QVERIFY(waitListed(view));
        QCOMPARE(view.model->rowCount(view.rootIndex()), plain);
    }
};

QTEST_MAIN(TestFsView)
#include "tst_fsview.moc"
