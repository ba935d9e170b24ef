#include "platform/screen/screencommand.h"
#include "support/sandbox.h"
#include "platform/ui/catalogview.h"
#include "platform/ui/keyboarddata.h"
#include "platform/ui/vexakeyboard.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "platform/ui/vexapushbutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopWidget>
#include <QHostAddress>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <functional>

using ui::KeyboardData;
using ui::VexaKeyboard;
using ui::VexaKeyboardDialog;

namespace {

// Runs popup() with `steps` executed inside the modal loop. A guard
// cancels the dialog if the steps leave it open, so a failure cannot hang.
QString runPopup(VexaKeyboardDialog& dialog, const QString& initial, const std::function<void()>& steps)
{
    QTimer::singleShot(0, &dialog, steps);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&dialog]() {
        qWarning("dialog left open; cancelling");
        dialog.reject();
    });
    guard.start(10000);
    return dialog.popup(initial);
}

void key(QWidget* to, Qt::Key k)
{
    QTest::keyClick(to, k);
}

// Walks with Right until the keyboard's focus is on `target` (arrows only).
bool walkRightTo(VexaKeyboard* keyboard, QWidget* to, QAbstractButton* target)
{
    for (int i = 0; i < 60 && keyboard->focusedKey() != target; ++i)
        key(to, Qt::Key_Right);
    return keyboard->focusedKey() == target;
}

// Walks down into the control row and along it to the Enter key.
bool walkToEnter(VexaKeyboard* keyboard, QWidget* to)
{
    for (int i = 0; i < 10 && !keyboard->controlView()->focusItem(); ++i)
        key(to, Qt::Key_Down);
    return walkRightTo(keyboard, to, keyboard->controlKey(KeyboardData::ENTER));
}

class KeyRecorder : public QWidget
{
public:
    struct Key
    {
        int code;
        QString text;
    };
    QList<Key> presses;
    int releases = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        presses << Key{e->key(), e->text()};
        e->accept();
    }
    void keyReleaseEvent(QKeyEvent* e) override
    {
        ++releases;
        e->accept();
    }
};

} // namespace

class TestUiKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void arrowKeysAndOkOnly();
    void touchTyping();
    void shiftAndCapsLock();
    void cancelReturnsEmpty();
    void initialTextAndHardwareTyping();
    void docksToBottomOfParent();
    void typedKeysReachThePanel();
    void embeddedKeyboardDelivery();
    void focusRingBetweenGrids();
    void catalogViewNeighbours();
};

void TestUiKeyboard::arrowKeysAndOkOnly()
{
    VexaKeyboardDialog dialog(nullptr, QStringLiteral("Name for new directory"));
    QCOMPARE(dialog.title(), QStringLiteral("Name for new directory"));
    VexaKeyboard* kb = dialog.keyboard();
    QStringList seen;

    const QString result = runPopup(dialog, QString(), [&]() {
        QWidget* to = dialog.lineEdit();
        // Focus starts on the first letter key and is shown on it.
        QCOMPARE(kb->focusedKey(), kb->characterKey(QStringLiteral("q")));
        QVERIFY(kb->focusedKey()->property(ui::CatalogView::FocusProperty).toBool());
        key(to, Qt::Key_Right);
        key(to, Qt::Key_Right);
        QCOMPARE(kb->focusedKey(), kb->characterKey(QStringLiteral("e")));
        QVERIFY(!kb->characterKey(QStringLiteral("q"))->property(ui::CatalogView::FocusProperty).toBool());
        key(to, Qt::Key_Return);
        seen << dialog.lineEdit()->text();
        key(to, Qt::Key_Down); // e -> d
        key(to, Qt::Key_Enter); // the device's OK
        key(to, Qt::Key_Left); // d -> s
        key(to, Qt::Key_Return);
        key(to, Qt::Key_Up);
        key(to, Qt::Key_Up);
        key(to, Qt::Key_Return); // s -> w -> 2
        seen << dialog.lineEdit()->text();
        // Left at the row's start wraps to its end.
        key(to, Qt::Key_Left);
        key(to, Qt::Key_Left);
        key(to, Qt::Key_Return);
        seen << dialog.lineEdit()->text();
        QVERIFY(dialog.isVisible());
        QVERIFY(walkToEnter(kb, to));
        key(to, Qt::Key_Return);
    });
    QCOMPARE(seen, QStringList() << "e" << "eds2" << "eds20");
    QCOMPARE(result, QStringLiteral("eds20"));
    QVERIFY(!dialog.isVisible());
}

void TestUiKeyboard::touchTyping()
{
    VexaKeyboardDialog dialog(nullptr, QStringLiteral("Program command line"));
    VexaKeyboard* kb = dialog.keyboard();
    auto tap = [](QAbstractButton* b) {
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    };
    const QString result = runPopup(dialog, QStringLiteral("ab"), [&]() {
        tap(kb->characterKey(QStringLiteral("c")));
        QCOMPARE(dialog.lineEdit()->text(), QStringLiteral("abc"));
        // A tap moves the visible focus to the key.
        QCOMPARE(kb->focusedKey(), kb->characterKey(QStringLiteral("c")));
        tap(kb->controlKey(KeyboardData::SPACE));
        tap(kb->controlKey(KeyboardData::PAGE));
        QCOMPARE(kb->page(), KeyboardData::SYMBOLS);
        tap(kb->characterKey(QStringLiteral("&"))); // escaped in the label, typed as is
        tap(kb->characterKey(QStringLiteral("\\")));
        QVERIFY(!kb->characterKey(QStringLiteral("q")));
        tap(kb->controlKey(KeyboardData::PAGE));
        tap(kb->characterKey(QStringLiteral("7")));
        QCOMPARE(dialog.lineEdit()->text(), QStringLiteral("abc &\\7"));
        tap(kb->controlKey(KeyboardData::BACKSPACE));
        tap(kb->controlKey(KeyboardData::BACKSPACE));
        QCOMPARE(dialog.lineEdit()->text(), QStringLiteral("abc &"));
        // The cursor keys move within the text.
        tap(kb->controlKey(KeyboardData::CURSOR_LEFT));
        tap(kb->controlKey(KeyboardData::CURSOR_LEFT));
        tap(kb->characterKey(QStringLiteral("-")));
        tap(kb->controlKey(KeyboardData::CURSOR_RIGHT));
        tap(kb->characterKey(QStringLiteral(".")));
        QCOMPARE(dialog.lineEdit()->text(), QStringLiteral("abc- .&"));
        tap(kb->controlKey(KeyboardData::ENTER));
    });
    QCOMPARE(result, QStringLiteral("abc- .&"));
}

void TestUiKeyboard::shiftAndCapsLock()
{
    VexaKeyboardDialog dialog(nullptr, QStringLiteral("t"));
    VexaKeyboard* kb = dialog.keyboard();
    auto tap = [](QAbstractButton* b) {
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    };
    const QString result = runPopup(dialog, QString(), [&]() {
        QAbstractButton* shift = kb->controlKey(KeyboardData::SHIFT);
        tap(shift); // one letter in upper case
        QCOMPARE(kb->shiftState(), KeyboardData::SHIFT_ONCE);
        QVERIFY(shift->isChecked());
        tap(kb->characterKey(QStringLiteral("A")));
        tap(kb->characterKey(QStringLiteral("b")));
        QCOMPARE(kb->shiftState(), KeyboardData::SHIFT_OFF);
        QVERIFY(!shift->isChecked());
        tap(shift);
        tap(shift); // locked
        QCOMPARE(kb->shiftState(), KeyboardData::CAPS_LOCK);
        QCOMPARE(shift->text(), QStringLiteral("Caps"));
        tap(kb->characterKey(QStringLiteral("C")));
        tap(kb->characterKey(QStringLiteral("D")));
        tap(kb->characterKey(QStringLiteral("1"))); // digits are unchanged
        tap(shift); // off again
        tap(kb->characterKey(QStringLiteral("e")));
        // Punctuation has no shift; the shift key is disabled there.
        tap(kb->controlKey(KeyboardData::PAGE));
        QVERIFY(!shift->isEnabled());
        tap(kb->controlKey(KeyboardData::PAGE));
        QVERIFY(shift->isEnabled());
        tap(kb->controlKey(KeyboardData::ENTER));
    });
    QCOMPARE(result, QStringLiteral("AbCD1e"));
}

void TestUiKeyboard::cancelReturnsEmpty()
{
    {
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Back"));
        const QString result = runPopup(dialog, QStringLiteral("name"), [&]() {
            QTest::keyClicks(dialog.lineEdit(), QStringLiteral("x"));
            QCOMPARE(dialog.lineEdit()->text(), QStringLiteral("namex"));
            key(dialog.lineEdit(), Qt::Key_Escape);
        });
        QCOMPARE(result, QString());
        QVERIFY(result.isEmpty());
    }
    {
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Close button"));
        const QString result = runPopup(dialog, QStringLiteral("name"), [&]() {
            QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        });
        QVERIFY(result.isEmpty());
    }
    {
        // Reused after a cancel, the dialog starts from the new text.
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Twice"));
        QVERIFY(runPopup(dialog, QStringLiteral("one"), [&]() { key(dialog.lineEdit(), Qt::Key_Escape); })
                    .isEmpty());
        const QString second = runPopup(dialog, QStringLiteral("two"), [&]() {
            QTest::mouseClick(dialog.keyboard()->controlKey(KeyboardData::ENTER), Qt::LeftButton);
        });
        QCOMPARE(second, QStringLiteral("two"));
    }
}

void TestUiKeyboard::initialTextAndHardwareTyping()
{
    VexaKeyboardDialog dialog(nullptr, QStringLiteral("Rename"));
    VexaKeyboard* kb = dialog.keyboard();
    const QString result = runPopup(dialog, QStringLiteral("NewDir"), [&]() {
        QLineEdit* edit = dialog.lineEdit();
        QCOMPARE(edit->text(), QStringLiteral("NewDir"));
        QCOMPARE(edit->cursorPosition(), 6);
        QVERIFY(!edit->hasSelectedText());
        QTRY_VERIFY(edit->hasFocus());
        // A hardware keyboard types straight into the field...
        QTest::keyClicks(edit, QStringLiteral("_2"));
        key(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("NewDir_"));
        // ...and the on-screen backspace edits the initial text too.
        QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
        QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
        QCOMPARE(edit->text(), QStringLiteral("NewDi"));
        QVERIFY(edit->hasFocus()); // keys never take the focus
        QVERIFY(walkToEnter(kb, edit));
        key(edit, Qt::Key_Enter);
    });
    QCOMPARE(result, QStringLiteral("NewDi"));

    // Accepting with the text emptied returns the empty string.
    const QString emptied = runPopup(dialog, QStringLiteral("ab"), [&]() {
        QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
        QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
        QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
        QTest::mouseClick(kb->controlKey(KeyboardData::ENTER), Qt::LeftButton);
    });
    QVERIFY(emptied.isEmpty());

    // The short way to Enter from the starting key, whatever the keyboard
    // was left showing.
    kb->pressKey(kb->controlKey(KeyboardData::SHIFT));
    kb->pressKey(kb->controlKey(KeyboardData::PAGE));
    kb->pressKey(kb->controlKey(KeyboardData::SHIFT)); // disabled on this page
    QCOMPARE(kb->page(), KeyboardData::SYMBOLS);
    const QString typed = runPopup(dialog, QString(), [&]() {
        QCOMPARE(kb->page(), KeyboardData::LETTERS);
        QCOMPARE(kb->shiftState(), KeyboardData::SHIFT_OFF);
        QTest::keyClicks(dialog.lineEdit(), QStringLiteral("my notes.txt"));
        for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Left})
            key(dialog.lineEdit(), k);
        QCOMPARE(kb->focusedKey(), kb->controlKey(KeyboardData::ENTER));
        key(dialog.lineEdit(), Qt::Key_Return);
    });
    QCOMPARE(typed, QStringLiteral("my notes.txt"));
}

void TestUiKeyboard::docksToBottomOfParent()
{
    QWidget main;
    // The program's window style makes every push button at least 140 px
    // wide; the keys must still fit the 600 px screen.
    main.setStyleSheet(QStringLiteral("QPushButton { min-width: 140px; min-height: 30px; background: white }"));
    main.setGeometry(0, 0, 600, 800);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QWidget* child = new QWidget(&main);
    child->setGeometry(10, 10, 50, 50);

    VexaKeyboardDialog dialog(child, QStringLiteral("Dock"));
    QRect shown;
    QList<QRect> keys;
    runPopup(dialog, QString(), [&]() {
        shown = dialog.geometry();
        for (QPushButton* key : dialog.keyboard()->findChildren<QPushButton*>())
            keys << QRect(key->mapTo(&dialog, QPoint(0, 0)), key->size());
        dialog.reject();
    });
    QVERIFY(!keys.isEmpty());
    for (const QRect& key : keys)
        QVERIFY2(QRect(QPoint(0, 0), shown.size()).contains(key),
                 qPrintable(QStringLiteral("key at %1,%2 %3x%4 outside the dialog")
                                .arg(key.x()).arg(key.y()).arg(key.width()).arg(key.height())));
    QCOMPARE(shown.width(), main.width());
    QCOMPARE(shown.x(), main.geometry().x());
    QCOMPARE(shown.bottom(), main.geometry().bottom());
    QVERIFY(shown.height() < main.height());

    // Without a parent it docks to the screen.
    VexaKeyboardDialog orphan(nullptr, QStringLiteral("Dock"));
    runPopup(orphan, QString(), [&]() {
        shown = orphan.geometry();
        orphan.reject();
    });
    const QRect screen = QApplication::desktop()->geometry();
    QCOMPARE(shown.width(), screen.width());
    QCOMPARE(shown.bottom(), screen.bottom());
}

void TestUiKeyboard::typedKeysReachThePanel()
{
    REQUIRE_SANDBOX();
    QUdpSocket service;
    QVERIFY(service.bind(QHostAddress::LocalHost, 5678));
    auto drain = [&service]() {
        QList<vexa::screen::ScreenCommand> commands;
        while (service.hasPendingDatagrams()) {
            const QByteArray data = service.receiveDatagram().data();
            if (data.size() != int(sizeof(vexa::screen::ScreenCommand)))
                continue;
            vexa::screen::ScreenCommand c;
            std::memcpy(&c, data.constData(), sizeof c);
            commands << c;
        }
        return commands;
    };

    VexaKeyboardDialog dialog(nullptr, QStringLiteral("Panel"));
    QList<vexa::screen::ScreenCommand> after_key;
    QRect dialog_rect;
    runPopup(dialog, QString(), [&]() {
        QTest::qWait(100);
        drain();
        dialog_rect = dialog.geometry();
        QTest::mouseClick(dialog.keyboard()->characterKey(QStringLiteral("z")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(service.hasPendingDatagrams(), 3000);
        QTest::qWait(50);
        after_key = drain();
        dialog.reject();
    });
    QVERIFY(!after_key.isEmpty());
    bool covered = false;
    for (const auto& c : after_key) {
        const QRect r(c.left, c.top, c.width, c.height);
        if (c.type == vexa::screen::ScreenCommand::UPDATE_REGION && r.contains(dialog_rect))
            covered = true;
    }
    QVERIFY2(covered, "no region update covering the whole dialog after a key");
}

void TestUiKeyboard::embeddedKeyboardDelivery()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* kb = new VexaKeyboard(&window);
    layout->addWidget(edit);
    layout->addWidget(kb);
    kb->initFocus();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    QApplication::setActiveWindow(&window);
    QTRY_VERIFY(edit->hasFocus());

    QList<QPair<int, QString>> clicked;
    connect(kb, &VexaKeyboard::keyClicked, this,
            [&clicked](int k, const QString& t) { clicked << qMakePair(k, t); });

    // Without a receiver, keys go to the focus widget of the window.
    QTest::mouseClick(kb->characterKey(QStringLiteral("k")), Qt::LeftButton);
    QCOMPARE(edit->text(), QStringLiteral("k"));
    QCOMPARE(clicked.size(), 1);
    QCOMPARE(clicked.first().first, int(Qt::Key_K));
    QCOMPARE(clicked.first().second, QStringLiteral("k"));

    // Arrows on the focused edit move the keyboard's focus, not the cursor.
    edit->setText(QStringLiteral("abc"));
    edit->setCursorPosition(1);
    QAbstractButton* before = kb->focusedKey();
    QTest::keyClick(edit, Qt::Key_Right);
    QCOMPARE(edit->cursorPosition(), 1);
    QVERIFY(kb->focusedKey() != before);
    QTest::keyClick(edit, Qt::Key_Left);
    QCOMPARE(kb->focusedKey(), before);
    // And OK presses the focused key (the tapped one, "k").
    QCOMPARE(before, kb->characterKey(QStringLiteral("k")));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), QStringLiteral("akbc"));

    // A receiver gets every key, Enter with the keyboard's enter text.
    KeyRecorder recorder;
    kb->setReceiver(&recorder);
    QCOMPARE(kb->receiver(), &recorder);
    QTest::mouseClick(kb->controlKey(KeyboardData::ENTER), Qt::LeftButton);
    QTest::mouseClick(kb->controlKey(KeyboardData::SPACE), Qt::LeftButton);
    QTest::mouseClick(kb->controlKey(KeyboardData::BACKSPACE), Qt::LeftButton);
    QCOMPARE(recorder.presses.size(), 3);
    QCOMPARE(recorder.releases, 3);
    QCOMPARE(recorder.presses.at(0).code, int(Qt::Key_Enter));
    QCOMPARE(recorder.presses.at(0).text, KeyboardData::ENTER_TEXT);
    QVERIFY(KeyboardData::ENTER_TEXT != QStringLiteral("\r")); // differs from a hardware Enter
    QCOMPARE(recorder.presses.at(1).code, int(Qt::Key_Space));
    QCOMPARE(recorder.presses.at(1).text, QStringLiteral(" "));
    QCOMPARE(recorder.presses.at(2).code, int(Qt::Key_Backspace));
    QCOMPARE(edit->text(), QStringLiteral("akbc"));

    // Shift and page keys change the keyboard only and send nothing.
    QTest::mouseClick(kb->controlKey(KeyboardData::SHIFT), Qt::LeftButton);
    QTest::mouseClick(kb->controlKey(KeyboardData::PAGE), Qt::LeftButton);
    QCOMPARE(recorder.presses.size(), 3);

    // Hidden, the keyboard leaves the arrow keys alone.
    kb->hide();
    edit->setCursorPosition(1);
    QTest::keyClick(edit, Qt::Key_Right);
    QCOMPARE(edit->cursorPosition(), 2);

    // A keyboard with nothing focused in its window sends to its parent.
    KeyRecorder parent;
    auto* inner = new VexaKeyboard(&parent);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    inner->initFocus();
    QTest::mouseClick(inner->characterKey(QStringLiteral("q")), Qt::LeftButton);
    QCOMPARE(parent.presses.size(), 1);
    QCOMPARE(parent.presses.first().text, QStringLiteral("q"));
}

void TestUiKeyboard::focusRingBetweenGrids()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* kb = new VexaKeyboard(&window);
    layout->addWidget(kb);
    window.resize(600, 400);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    kb->initFocus();
    QTRY_VERIFY(kb->hasFocus()); // nothing else in the window could take it

    ui::CatalogView* chars = kb->characterView();
    ui::CatalogView* controls = kb->controlView();
    QCOMPARE(chars->neighbor(ui::CatalogView::DOWN), controls);
    QCOMPARE(controls->neighbor(ui::CatalogView::UP), chars);

    // Up from the top row goes round into the control row, then up again
    // into the bottom character row; Down from the controls to the top.
    QTest::keyClick(kb, Qt::Key_Up);
    QTest::keyClick(kb, Qt::Key_Up);
    QVERIFY(controls->focusItem());
    QVERIFY(!chars->focusItem());
    QTest::keyClick(kb, Qt::Key_Up);
    int row = -1, column = -1;
    QVERIFY(chars->findItem(kb->focusedKey(), &row, &column));
    QCOMPARE(row, chars->rowCount() - 1);
    QTest::keyClick(kb, Qt::Key_Down);
    QVERIFY(controls->focusItem());
    QTest::keyClick(kb, Qt::Key_Down);
    QVERIFY(chars->findItem(kb->focusedKey(), &row, &column));
    QCOMPARE(row, 0);

    // Vertical moves keep the horizontal position: the key under Space is
    // in the middle of the grid.
    QVERIFY(walkToEnter(kb, kb));
    QTest::mouseClick(kb->controlKey(KeyboardData::SPACE), Qt::LeftButton);
    QTest::keyClick(kb, Qt::Key_Up);
    QVERIFY(chars->findItem(kb->focusedKey(), &row, &column));
    QVERIFY2(column >= 3 && column <= 6, qPrintable(QString::number(column)));
}

void TestUiKeyboard::catalogViewNeighbours()
{
    auto makeView = [](QWidget* parent, int rows, int columns) {
        auto* v = new ui::CatalogView(parent);
        for (int r = 0; r < rows; ++r) {
            QList<QAbstractButton*> row;
            for (int c = 0; c < columns; ++c)
                row << new QPushButton(QStringLiteral("%1%2").arg(r).arg(c));
            v->addRow(row);
        }
        return v;
    };
    QWidget parent; // hidden: positions come from column proportions
    ui::CatalogView* a = makeView(&parent, 2, 4);
    ui::CatalogView* b = makeView(&parent, 1, 2);
    ui::CatalogView* c = makeView(&parent, 1, 1);

    // No neighbour: wrap round inside the view.
    a->setFocusItem(0, 0);
    QCOMPARE(a->moveFocus(Qt::Key_Left), a);
    QCOMPARE(a->focusItem(), a->item(0, 3));
    QCOMPARE(a->moveFocus(Qt::Key_Up), a);
    QCOMPARE(a->focusItem(), a->item(1, 3));
    QCOMPARE(a->moveFocus(Qt::Key_Escape), nullptr);

    // One-way link: down into b (proportional column), but b does not lead back.
    a->setNeighbor(b, ui::CatalogView::DOWN);
    QCOMPARE(a->moveFocus(Qt::Key_Down), b);
    QVERIFY(!a->focusItem());
    QCOMPARE(b->focusItem(), b->item(0, 1));
    QCOMPARE(b->moveFocus(Qt::Key_Up), b);
    QCOMPARE(b->focusItem(), b->item(0, 1));

    // RECYCLE_RIGHT links both ways and closes the ring.
    b->setNeighbor(c, ui::CatalogView::RECYCLE_RIGHT);
    QCOMPARE(b->moveFocus(Qt::Key_Right), c);
    QCOMPARE(c->focusItem(), c->item(0, 0));
    QCOMPARE(c->moveFocus(Qt::Key_Right), b);
    QCOMPARE(b->focusItem(), b->item(0, 0));
    QCOMPARE(b->moveFocus(Qt::Key_Left), c);
    QCOMPARE(c->moveFocus(Qt::Key_Left), b);
    QCOMPARE(b->focusItem(), b->item(0, 1));

    // Unknown relations are ignored; a destroyed neighbour is forgotten.
    a->setNeighbor(c, QStringLiteral("sideways"));
    QCOMPARE(a->neighbor(QStringLiteral("sideways")), nullptr);
    delete b;
    QCOMPARE(a->neighbor(ui::CatalogView::DOWN), nullptr);
    a->setFocusItem(1, 2);
    QCOMPARE(a->moveFocus(Qt::Key_Down), a);
    QCOMPARE(a->focusItem(), a->item(0, 2));
    a->setNeighbor(nullptr, ui::CatalogView::DOWN);
    int changed = 0;
    connect(a, &ui::CatalogView::focusItemChanged, this, [&changed]() { ++changed; });
    a->clearFocusItem();
    a->clearFocusItem();
    QCOMPARE(changed, 1);
    QCOMPARE(a->moveFocus(Qt::Key_Down), nullptr);
}

QTEST_MAIN(TestUiKeyboard)
#include "tst_ui_keyboard.moc"
