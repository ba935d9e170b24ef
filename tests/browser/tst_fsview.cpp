#include "browser/delegate.h"
#include "support/sandbox.h"
#include "browser/screen_watcher.h"
#include "platform/sys/sysstatus.h"
#include "viewtestutil.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>

namespace {

// Reaches the view's protected parts the way a user can: slots and options.
class TestView : public FS_VIEW
{
public:
    using FS_VIEW::actionSetMulti;
    using FS_VIEW::viewOptions;
};

const QString Flash = QStringLiteral("/media/flash");

// Stands for the main window: records the keys the list lets through.
class KeyRecorder : public QWidget
{
public:
    QList<QPair<QEvent::Type, int>> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.append({ event->type(), event->key() }); }
    void keyReleaseEvent(QKeyEvent* event) override
    {
        keys.append({ event->type(), event->key() });
    }
};

} // namespace

class TestFsView : public QObject
{
    Q_OBJECT

private:
    // Chooses the local menu's active entry ("Copy"), like OK on the device.
    static void chooseFromMenu(FS_VIEW& view)
    {
        whenMenuOpens([](MENU* menu) { QTest::keyClick(menu, Qt::Key_Return); });
        QVERIFY(view.actionMenu());
    }

private slots:
    void initTestCase()
    {
        REQUIRE_SANDBOX();
        QVERIFY(!sys::SysStatus::instance().isSDMounted());
    }

    void layout()
    {
        TestView view;
        // Without a frame and with few rows the viewport is the whole view.
        view.setFrameShape(QFrame::NoFrame);
        view.resize(600, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(showDirectory(view, Flash));

        const QFontMetrics metrics(view.font());
        const int sizeWidth = metrics.horizontalAdvance(QStringLiteral(" 1000 bytes "));
        const int dateWidth = metrics.horizontalAdvance(QStringLiteral(" 99.99.99 99:99 "));
        QCOMPARE(view.font().pointSize(), 22);
        QCOMPARE(view.columnWidth(1), sizeWidth);
        QCOMPARE(view.columnWidth(3), dateWidth);
        QCOMPARE(view.columnWidth(0), 600 - sizeWidth - dateWidth);
        QVERIFY(view.isColumnHidden(2));
        QVERIFY(!view.header()->stretchLastSection());
        QCOMPARE(view.header()->sectionResizeMode(0), QHeaderView::Fixed);
        QCOMPARE(view.header()->sortIndicatorSection(), 0);
        QCOMPARE(view.header()->sortIndicatorOrder(), Qt::AscendingOrder);

        view.resize(560, 400);
        QTRY_COMPARE(view.columnWidth(0), 560 - sizeWidth - dateWidth);
        QVERIFY(view.isColumnHidden(2));

        // With a frame and a scroll bar the columns fill what is left, so no
        // horizontal scroll bar appears.
        view.setFrameShape(QFrame::StyledPanel);
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/many")));
        view.resize(600, 400);
        QTRY_VERIFY(view.verticalScrollBar()->isVisible());
        QTRY_COMPARE(view.columnWidth(0), view.viewport()->width() - sizeWidth - dateWidth);
        QVERIFY(view.viewport()->width() < 600);
        QVERIFY(!view.horizontalScrollBar()->isVisible());

        // Rows are the base delegate's height plus 6.
        const QModelIndex first = rowIndex(view, 0);
        QStyleOptionViewItem option = view.viewOptions();
        QCOMPARE(view.visualRect(first).height(),
                 view.delegate->baseDelegate->sizeHint(option, first).height() + 6);
        QCOMPARE(view.itemDelegate(), view.delegate);
    }

    void changingDirectory()
    {
        FS_VIEW view;
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);

        QString path = QStringLiteral("/media/flash/books/../documents");
        QVERIFY(view.setDirectory(path));
        QCOMPARE(path, QStringLiteral("/media/flash/documents"));
        QCOMPARE(titles.count(), 1);
        QCOMPARE(titles.last().at(0).toString(), path);
        QCOMPARE(QDir::currentPath(), path);
        QCOMPARE(view.rootIndex(), view.model->index(path));
        QCOMPARE(view.selectionMode(), QAbstractItemView::ContiguousSelection);

        // Relative names are taken from the shown directory.
        path = QStringLiteral("../books");
        QVERIFY(view.setDirectory(path));
        QCOMPARE(path, QStringLiteral("/media/flash/books"));

        // Failures change nothing and say nothing.
        titles.clear();
        for (QString bad : { QStringLiteral("."), QStringLiteral("missing"),
                             QStringLiteral("/media/flash/README.txt") }) {
            QVERIFY(!view.setDirectory(bad));
            QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/books"));
            QCOMPARE(QDir::currentPath(), QStringLiteral("/media/flash/books"));
        }
        QCOMPARE(titles.count(), 0);

        QVERIFY(view.setDirectory(QStringLiteral("/")));
        QVERIFY(!view.setDirectory(QStringLiteral("..")));
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/"));

        // A change of directory clears Multiselect and the selection.
        QVERIFY(showDirectory(view, Flash));
        view.multiSelect = true;
        view.setCurrentIndex(rowIndex(view, 0));
        QVERIFY(view.selectionModel()->hasSelection());
        QVERIFY(view.setDirectory(QStringLiteral("books")));
        QVERIFY(!view.multiSelect);
        QVERIFY(!view.selectionModel()->hasSelection());
    }

    void cursorStartsOnFirstRow()
    {
        // Focused while the directory is still being listed, as at start-up:
        // once listed and sorted, the cursor is on the first row.
        FS_VIEW view;
        view.resize(600, 700);
        view.show();
        QApplication::setActiveWindow(&view);
        view.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QVERIFY(showDirectory(view, Flash));
        QVERIFY(QTest::qWaitFor([&] { return view.currentIndex().isValid(); }, 2000));
        QCOMPARE(view.currentIndex().row(), 0);
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("books"));

        // Also in a directory the model has listed before.
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/documents")));
        QVERIFY(showDirectory(view, Flash));
        QTest::qWait(50);
        QCOMPARE(view.currentIndex().row(), 0);

        // The user's own move is not undone by later changes to the list.
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.currentIndex().row(), 1);
        QFile added(QStringLiteral("/media/flash/aaa_new.txt"));
        QVERIFY(added.open(QIODevice::WriteOnly));
        added.close();
        QVERIFY(QTest::qWaitFor([&] { return indexOf(view, QStringLiteral("aaa_new.txt")).isValid(); }, 5000));
        QTest::qWait(100);
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("dicts"));
        QVERIFY(added.remove());
    }

    void backRing()
    {
        FS_VIEW view;
        view.resize(600, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.history.size(), 1);
        QCOMPARE(view.history.first().path, Flash);
        QVERIFY(showDirectory(view, Flash));

        // Entering a directory by activation records nothing: Back goes to
        // the flash root and stays there.
        view.setCurrentIndex(indexOf(view, QStringLiteral("books")));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/books"));
        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(view.dir.canonicalPath(), Flash);
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), Flash);
        QCOMPARE(view.history.size(), 1);

        // A menu closed without a choice records nothing either.
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/documents")));
        view.setCurrentIndex(rowIndex(view, 0));
        whenMenuOpens([](MENU* menu) { menu->hide(); });
        QVERIFY(view.actionMenu());
        QVERIFY(!view.rememberedIndex.isValid());

        // A command chosen on the fifth row of a sub-directory: going to the
        // flash root and pressing Back returns there, on that row.
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/many")));
        view.setCurrentIndex(rowIndex(view, 4));
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("item_005.txt"));
        chooseFromMenu(view);
        QVERIFY(view.rememberedIndex.isValid());
        view.setCurrentIndex(rowIndex(view, 7)); // the row at leaving time wins
        QVERIFY(showDirectory(view, Flash));
        QCOMPARE(view.history.size(), 2);
        QCOMPARE(view.history.last().path, QStringLiteral("/media/flash/many"));
        QVERIFY(!view.rememberedIndex.isValid());

        QTest::keyRelease(&view, Qt::Key_Left);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/many"));
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral("item_008.txt"));
        // The ring turns: flash is next, then many again.
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), Flash);
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/many"));

        // Working in a directory again replaces its entry rather than adding one.
        view.setCurrentIndex(rowIndex(view, 2));
        chooseFromMenu(view);
        QVERIFY(showDirectory(view, Flash));
        QCOMPARE(view.history.count(HistoryEntry{ QStringLiteral("/media/flash/many"), {} }), 1);

        // An entry whose directory has gone is dropped from the ring.
        QVERIFY(QDir(Flash).mkdir(QStringLiteral("gone")));
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/gone")));
        view.rememberedIndex = view.rootIndex(); // as a command run there does
        QVERIFY(showDirectory(view, Flash));
        QCOMPARE(view.history.last().path, QStringLiteral("/media/flash/gone"));
        QVERIFY(QDir(Flash).rmdir(QStringLiteral("gone")));
        const int before = view.history.size();
        view.actionBtnBack();
        QCOMPARE(view.dir.canonicalPath(), Flash);
        QCOMPARE(view.history.size(), before - 1);
        QVERIFY(!view.history.contains(HistoryEntry{ QStringLiteral("/media/flash/gone"), {} }));
    }

    void multiselectKeys()
    {
        TestView view;
        view.resize(600, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setFocus();
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/many")));
        view.setCurrentIndex(rowIndex(view, 0));

        // Plain Down moves the single selection.
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        QCOMPARE(view.currentIndex().row(), 1);

        // Checking Multiselect in the local menu makes Down extend it.
        whenMenuOpens([](MENU* menu) {
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("Multiselect"))
                    action->setChecked(true);
            }
            menu->hide();
        });
        QVERIFY(view.actionMenu());
        QVERIFY(view.multiSelect);
        QTest::keyClick(&view, Qt::Key_Down);
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.currentIndex().row(), 3);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 3);
        QTest::keyClick(&view, Qt::Key_Up);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 2);

        // The menu shows the mode, and unchecking it ends it.
        whenMenuOpens([](MENU* menu) {
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("Multiselect")) {
                    QVERIFY(action->isChecked());
                    action->setChecked(false);
                }
            }
            menu->hide();
        });
        QVERIFY(view.actionMenu());
        QVERIFY(!view.multiSelect);
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);

        // Another directory turns it off.
        view.actionSetMulti(true);
        QVERIFY(showDirectory(view, Flash));
        QVERIFY(!view.multiSelect);
        view.setCurrentIndex(rowIndex(view, 0));
        QTest::keyClick(&view, Qt::Key_Down);
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
    }

    void localMenu()
    {
        FS_VIEW view;
        view.move(0, 0);
        view.resize(600, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/many")));

        // Nothing selected: no menu, and false for the main window.
        view.clearSelection();
        bool opened = false;
        QTimer* poll = whenMenuOpens([&opened](MENU* menu) { opened = true; menu->hide(); });
        QVERIFY(!view.actionMenu());
        QTest::qWait(50);
        QVERIFY(!opened);
        delete poll;

        view.setCurrentIndex(rowIndex(view, 2));
        const QRect row = view.visualRect(view.currentIndex());
        const QPoint expected =
            view.viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.bottom()));

        QStringList texts;
        QPoint at;
        bool pasteEnabled = true;
        bool multiCheckable = false;
        QString active;
        bool shortcuts = false;
        whenMenuOpens([&](MENU* menu) {
            at = menu->pos();
            for (QAction* action : menu->actions()) {
                texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
                shortcuts = shortcuts || !action->shortcut().isEmpty();
                if (action->text() == QStringLiteral("Paste"))
                    pasteEnabled = action->isEnabled();
                if (action->text() == QStringLiteral("Multiselect"))
                    multiCheckable = action->isCheckable() && !action->isChecked();
            }
            active = menu->activeAction() ? menu->activeAction()->text() : QString();
            menu->hide();
        });
        QVERIFY(view.actionMenu());
        QCOMPARE(texts, (QStringList{ "Copy", "Cut", "Paste", "Delete", "Info", "Multiselect", "|",
                                      "Copy to...", "Rename...", "Edit", "View" }));
        QCOMPARE(at, expected);
        QVERIFY(!pasteEnabled);
        QVERIFY(multiCheckable);
        QVERIFY(!shortcuts);
        QCOMPARE(active, QStringLiteral("Copy"));
        QVERIFY(!view.rememberedIndex.isValid());
        QVERIFY(view.findChildren<MENU*>().isEmpty());

        // With something in the clipboard Paste is offered, at a given point.
        view.clipboard << QPersistentModelIndex(rowIndex(view, 1));
        whenMenuOpens([&](MENU* menu) {
            at = menu->pos();
            for (QAction* action : menu->actions()) {
                if (action->text() == QStringLiteral("Paste"))
                    pasteEnabled = action->isEnabled();
            }
            menu->hide();
        });
        QVERIFY(view.actionMenu(QPoint(40, 60)));
        QCOMPARE(at, QPoint(40, 60));
        QVERIFY(pasteEnabled);

        // A long press opens it where the finger is.
        at = QPoint();
        whenMenuOpens([&](MENU* menu) { at = menu->pos(); menu->hide(); });
        emit sys::SysStatus::instance().mouseLongPress(QPoint(70, 90), QSize(5, 5));
        QCOMPARE(at, QPoint(70, 90));

        // The menu-bar entry does the same as the Menu key.
        at = QPoint();
        whenMenuOpens([&](MENU* menu) { at = menu->pos(); menu->hide(); });
        view.actionBtnMenu();
        QCOMPARE(at, expected);
    }

    void showHidden()
    {
        FS_VIEW view;
        QVERIFY(showDirectory(view, Flash));
        const int plain = view.model->rowCount(view.rootIndex());

        view.setCurrentIndex(rowIndex(view, 0));
        view.actionHidden(true);
        QVERIFY(!view.selectionModel()->hasSelection());
        QVERIFY(waitListed(view));
        QCOMPARE(view.model->rowCount(view.rootIndex()), plain + 2); // .config, .hidden_note
        QVERIFY(view.model->filter().testFlag(QDir::Hidden));

        // The choice survives a change of directory.
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/.config")));
        QVERIFY(showDirectory(view, Flash));
        QCOMPARE(view.model->rowCount(view.rootIndex()), plain + 2);

        // Even the current row goes when it is a hidden one.
        view.setCurrentIndex(rowIndex(view, 0));
        QCOMPARE(view.model->fileName(view.currentIndex()), QStringLiteral(".config"));
        view.actionHidden(false);
        QVERIFY(!view.selectionModel()->hasSelection());
        QVERIFY(waitListed(view));
        QCOMPARE(view.model->rowCount(view.rootIndex()), plain);
    }

    void activation()
    {
        FS_VIEW view;
        view.resize(600, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy titles(&view, &FS_VIEW::pathChanged);
        QVERIFY(showDirectory(view, Flash));

        // OK (Return) on a folder enters it.
        view.setCurrentIndex(indexOf(view, QStringLiteral("documents")));
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/documents"));
        QCOMPARE(titles.last().at(0).toString(), QStringLiteral("/media/flash/documents"));
        QVERIFY(waitListed(view));

        // A single tap only selects; a double tap enters.
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/books")));
        const QModelIndex fiction = indexOf(view, QStringLiteral("fiction"));
        const QPoint centre = view.visualRect(fiction).center();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/books"));
        QCOMPARE(view.currentIndex(), fiction);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        QCOMPARE(view.dir.canonicalPath(), QStringLiteral("/media/flash/books/fiction"));
    }

    void keysForTheMainWindow()
    {
        KeyRecorder window;
        auto* view = new FS_VIEW(&window);
        window.resize(600, 600);
        view->resize(600, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        view->setFocus();
        QVERIFY(showDirectory(*view, QStringLiteral("/media/flash/many")));
        view->setCurrentIndex(rowIndex(*view, 0));

        using Key = QPair<QEvent::Type, int>;
        for (bool multi : { false, true }) {
            view->multiSelect = multi;
            window.keys.clear();
            QTest::keyClick(view, Qt::Key_Escape);
            QTest::keyClick(view, Qt::Key_Menu);
            QTest::keyRelease(view, Qt::Key_Right);
            QCOMPARE(window.keys, (QList<Key>{ { QEvent::KeyPress, Qt::Key_Escape },
                                               { QEvent::KeyRelease, Qt::Key_Escape },
                                               { QEvent::KeyPress, Qt::Key_Menu },
                                               { QEvent::KeyRelease, Qt::Key_Menu },
                                               { QEvent::KeyRelease, Qt::Key_Right } }));

            // The list keeps Left (Back) and the cursor keys to itself.
            window.keys.clear();
            QTest::keyRelease(view, Qt::Key_Left);
            QTest::keyPress(view, Qt::Key_Down);
            QVERIFY(window.keys.isEmpty());
            QVERIFY(showDirectory(*view, QStringLiteral("/media/flash/many")));
            view->setCurrentIndex(rowIndex(*view, 0));
        }
    }

    void outlineOfTheMovingCursor()
    {
        FS_VIEW view;
        view.move(30, 40);
        view.resize(600, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setFocus();
        QVERIFY(showDirectory(view, QStringLiteral("/media/flash/many")));
        view.setCurrentIndex(rowIndex(view, 3));
        QCoreApplication::processEvents();
        QTest::qWait(50);

        // One row down: the delegate hands the new row's outline, in screen
        // coordinates, to the watcher.
        screenWatcher.highlightRect = QRect();
        QTest::keyClick(&view, Qt::Key_Down);
        QTRY_VERIFY(!screenWatcher.highlightRect.isNull());
        QRect cell = view.visualRect(rowIndex(view, 4)).intersected(view.viewport()->rect());
        cell.adjust(0, 1, 0, -1);
        QCOMPARE(screenWatcher.highlightRect,
                 QRect(view.viewport()->mapToGlobal(cell.topLeft()), cell.size()));
        QVERIFY(!view.delegate->fastHighlight);

        // A full repaint draws the outline into the list instead.
        screenWatcher.highlightRect = QRect();
        const QImage shot = view.viewport()->grab().toImage();
        QVERIFY(screenWatcher.highlightRect.isNull());
        const QRect current = view.visualRect(rowIndex(view, 4));
        const qreal dpr = shot.devicePixelRatio();
        QCOMPARE(qGray(shot.pixel(int((current.left() + 40) * dpr), int((current.top() + 1) * dpr))),
                 0);
    }
};

QTEST_MAIN(TestFsView)
#include "tst_fsview.moc"
