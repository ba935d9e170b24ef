// The keyboard dialog and the on-screen keyboard, used with the device's
// keys and by touch.

#include "platform/screen/qtcompat.h"
#include "platform/ui/vexakeyboard.h"
#include "platform/ui/vexakeyboarddialog.h"
#include "platform/ui/vexalineedit.h"
#include "platform/ui/vexapushbutton.h"
#include "support/sandbox.h"
#include "support/screenlistener.h"

#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

using ui::KeyboardData;
using ui::VexaKeyboard;
using ui::VexaKeyboardDialog;

namespace {

// Runs popup() with steps inside its modal loop; a guard cancels a dialog
// the steps leave open, so a failure cannot hang.
QString runPopup(VexaKeyboardDialog& dialog, const QString& initial, const std::function<void()>& steps)
{
    QTimer::singleShot(0, &dialog, steps);
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    return dialog.popup(initial);
}

void keys(QWidget* to, const QList<Qt::Key>& keys)
{
    for (Qt::Key k : keys)
        QTest::keyClick(to, k);
}

void tap(QAbstractButton* key)
{
    QVERIFY(key);
    QTest::mouseClick(key, Qt::LeftButton);
}

struct KeyRecorder : QWidget
{
    QStringList presses; // key code and text
    int releases = 0;
    void keyPressEvent(QKeyEvent* e) override { presses << QString::number(e->key()) + e->text(); }
    void keyReleaseEvent(QKeyEvent*) override { ++releases; }
};

} // namespace

class TestUiKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void deviceKeysOnly()
    {
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Rename"));
        VexaKeyboard* kb = dialog.keyboard();
        QStringList seen;
        const QString result = runPopup(dialog, QStringLiteral("a"), [&] {
            QWidget* edit = dialog.lineEdit();
            QCOMPARE(kb->focusedKey(), kb->characterKey("q")); // the first letter
            keys(edit, {Qt::Key_Right, Qt::Key_Right, Qt::Key_Return}); // OK types "e"
            keys(edit, {Qt::Key_Down, Qt::Key_Enter, Qt::Key_Left, Qt::Key_Return}); // d, s
            keys(edit, {Qt::Key_Left, Qt::Key_Left, Qt::Key_Return}); // the row wraps round: "-"
            seen << dialog.lineEdit()->text();
            QTest::keyClicks(edit, QStringLiteral("x.txt")); // a hardware keyboard types
            kb->initFocus();
            keys(edit, {Qt::Key_Up, Qt::Key_Up, Qt::Key_Left}); // the short way to Enter
            QCOMPARE(kb->focusedKey(), kb->controlKey(KeyboardData::ENTER));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(seen, QStringList("aeds-"));
        QCOMPARE(result, QStringLiteral("aeds-x.txt"));
    }

    void touchTyping()
    {
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Program command line"));
        VexaKeyboard* kb = dialog.keyboard();
        const QString result = runPopup(dialog, QStringLiteral("ab"), [&] {
            tap(kb->characterKey("c"));
            QCOMPARE(kb->focusedKey(), kb->characterKey("c")); // a tap moves the focus too
            tap(kb->controlKey(KeyboardData::SPACE));
            tap(kb->controlKey(KeyboardData::PAGE));
            tap(kb->characterKey("&")); // escaped in its label, typed as is
            tap(kb->characterKey("\\"));
            QVERIFY(!kb->controlKey(KeyboardData::SHIFT)->isEnabled());
            tap(kb->controlKey(KeyboardData::PAGE));
            tap(kb->controlKey(KeyboardData::BACKSPACE));
            tap(kb->controlKey(KeyboardData::CURSOR_LEFT));
            tap(kb->controlKey(KeyboardData::SHIFT)); // once
            tap(kb->characterKey("D"));
            tap(kb->characterKey("e"));
            tap(kb->controlKey(KeyboardData::CURSOR_RIGHT));
            tap(kb->controlKey(KeyboardData::SHIFT));
            tap(kb->controlKey(KeyboardData::SHIFT)); // locked
            tap(kb->characterKey("F"));
            tap(kb->characterKey("1"));
            tap(kb->characterKey("G"));
            tap(kb->controlKey(KeyboardData::ENTER));
        });
        QCOMPARE(result, QStringLiteral("abc De&F1G"));
    }

    void cancelReturnsEmpty()
    {
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Name for new directory"));
        auto typeThen = [&](QWidget* closer) {
            return runPopup(dialog, QStringLiteral("name"), [&dialog, closer] {
                QTest::keyClicks(dialog.lineEdit(), QStringLiteral("x"));
                closer ? tap(static_cast<QAbstractButton*>(closer))
                       : QTest::keyClick(dialog.lineEdit(), Qt::Key_Escape);
            });
        };
        QVERIFY(typeThen(nullptr).isEmpty()); // Back
        QVERIFY(typeThen(dialog.closeButton()).isEmpty());
        QCOMPARE(typeThen(dialog.keyboard()->controlKey(KeyboardData::ENTER)), QStringLiteral("namex"));
    }

    void docksToTheBottomAndFits()
    {
        QWidget main;
        // The program's style makes every push button at least 140 px wide;
        // the keys must still fit the 600 px screen.
        main.setStyleSheet(QStringLiteral("QPushButton { min-width: 140px; }"));
        main.setGeometry(0, 0, 600, 800);
        main.show();
        VexaKeyboardDialog dialog(new QWidget(&main), QStringLiteral("Dock"));
        runPopup(dialog, QString(), [&] {
            const QRect shown = dialog.geometry();
            QCOMPARE(shown.width(), 600);
            QCOMPARE(shown.bottom(), main.geometry().bottom());
            for (QPushButton* key : dialog.keyboard()->findChildren<QPushButton*>())
                QVERIFY(dialog.rect().contains(QRect(key->mapTo(&dialog, QPoint()), key->size())));
            dialog.reject();
        });
    }

    void everyChangeReachesThePanel_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("tapped key") << 0;
        QTest::newRow("focus moved") << 1;
        QTest::newRow("typed on a hardware keyboard") << 2;
    }

    void everyChangeReachesThePanel()
    {
        QFETCH(int, action);
        REQUIRE_SANDBOX();
        support::ScreenListener panel;
        QVERIFY(panel.bind());
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Panel"));
        bool covered = false;
        runPopup(dialog, QString(), [&] {
            QTRY_VERIFY(dialog.isActiveWindow() && !vexa::screen::hasPendingEvents());
            panel.takeAll(); // what showing it sent
            const QList<std::function<void()>> actions = {
                [&] { tap(dialog.keyboard()->characterKey("z")); },
                [&] { QTest::keyClick(dialog.lineEdit(), Qt::Key_Down); },
                [&] { QTest::keyClicks(dialog.lineEdit(), QStringLiteral("y")); }};
            actions.at(action)();
            QTRY_VERIFY(panel.socket.hasPendingDatagrams());
            for (const QByteArray& d : panel.takeAll())
                covered |= support::field(d, support::wire::Type) == support::wire::UpdateRegion
                           && support::regionOf(d).contains(dialog.geometry());
            dialog.reject();
        });
        QVERIFY2(covered, "no region update covering the whole dialog");
    }

    void embeddedKeyboardDelivery()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* edit = new ui::VexaLineEdit(QStringLiteral("abc"), &window);
        auto* kb = new VexaKeyboard(&window);
        layout->addWidget(edit);
        layout->addWidget(kb);
        kb->initFocus();
        window.show();
        QApplication::setActiveWindow(&window);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());

        // Without a receiver: the window's focus widget; arrows move the
        // keyboard's focus, not the text cursor.
        edit->setCursorPosition(1);
        QTest::keyClick(edit, Qt::Key_Right);
        QCOMPARE(edit->cursorPosition(), 1);
        QCOMPARE(kb->focusedKey(), kb->characterKey("w"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("awbc"));

        // A receiver gets each key pressed and released; Enter with the
        // keyboard's own text, unlike a hardware Enter.
        KeyRecorder recorder;
        kb->setReceiver(&recorder);
        tap(kb->controlKey(KeyboardData::ENTER));
        tap(kb->controlKey(KeyboardData::SHIFT)); // sends nothing
        tap(kb->controlKey(KeyboardData::BACKSPACE));
        QCOMPARE(recorder.presses, (QStringList{QString::number(Qt::Key_Enter) + KeyboardData::ENTER_TEXT,
                                                QString::number(Qt::Key_Backspace) + "\b"}));
        QCOMPARE(recorder.releases, 2);
        QVERIFY(KeyboardData::ENTER_TEXT != QStringLiteral("\r"));

        // Hidden, the keyboard leaves the arrows alone.
        kb->hide();
        edit->setCursorPosition(1);
        QTest::keyClick(edit, Qt::Key_Right);
        QCOMPARE(edit->cursorPosition(), 2);
    }
};

QTEST_MAIN(TestUiKeyboard)
#include "tst_ui_keyboard.moc"
