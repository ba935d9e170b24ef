// The device's UI toolkit: the dialog frame, line edit and check box the
// dialogs rely on, and the keyboard dialog with its on-screen keyboard, used
// with the device's keys and by touch.

#include "platform/screen/qtcompat.h"
#include "platform/ui/vexacheckbox.h"
#include "platform/ui/vexadialog.h"
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

// Runs popup() with steps inside its modal loop; a guard ends a dialog the
// steps leave open, so a failure cannot hang.
QString runPopup(VexaKeyboardDialog& dialog, const QString& initial, const std::function<void()>& steps)
{
    bool leftOpen = false;
    QTimer::singleShot(0, &dialog, steps);
    QTimer::singleShot(10000, &dialog, [&] {
        leftOpen = true;
        dialog.reject();
    });
    const QString result = dialog.popup(initial);
    return leftOpen ? QStringLiteral("<left open>") : result;
}

// Taps a control key by its name (in KeyKind's order), any other key by
// what it types.
void tapKey(VexaKeyboard* kb, const QString& name)
{
    const QStringList controls{"", "Shift", "Page", "CursorLeft", "Space", "CursorRight", "Backspace", "Enter"};
    const int kind = controls.indexOf(name);
    QAbstractButton* key = kind > 0 ? kb->controlKey(KeyboardData::KeyKind(kind)) : kb->characterKey(name);
    QVERIFY(key);
    QTest::mouseClick(key, Qt::LeftButton);
}

// "key NAME" and "type TEXT" on a hardware keyboard, anything else tapped
// on the on-screen keyboard.
void play(VexaKeyboardDialog& dialog, const QStringList& steps)
{
    for (const QString& step : steps) {
        if (step.startsWith("key "))
            QTest::keyClick(dialog.lineEdit(), Qt::Key(QKeySequence(step.mid(4))[0]));
        else if (step.startsWith("type "))
            QTest::keyClicks(dialog.lineEdit(), step.mid(5));
        else
            tapKey(dialog.keyboard(), step);
    }
}

struct KeyRecorder : QWidget
{
    QStringList presses; // key code and text
    int releases = 0;
    void keyPressEvent(QKeyEvent* e) override { presses << QString::number(e->key()) + e->text(); }
    void keyReleaseEvent(QKeyEvent*) override { ++releases; }
};

// Counts the closes that reach the handler subclasses override.
struct ClosingDialog : ui::VexaDialog
{
    using ui::VexaDialog::VexaDialog;
    int closes = 0;
    void onCloseClicked() override
    {
        ++closes;
        ui::VexaDialog::onCloseClicked();
    }
};

} // namespace

class TestUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { REQUIRE_SANDBOX(); } // dialogs send to the screen service

    void dialogFrameAndClosing()
    {
        for (bool framed : {true, false}) {
            ClosingDialog dialog(nullptr, framed);
            dialog.vbox()->addWidget(new QWidget);
            dialog.resize(200, 200);
            QTimer::singleShot(10000, &dialog, &QDialog::accept); // a failure cannot hang
            // The close button and Back both end in the close handler.
            QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.closeButton(), Qt::LeftButton); });
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QTimer::singleShot(0, &dialog, [&] {
                const QImage shown = dialog.grab().toImage(); // framed: a black border
                QCOMPARE(qGray(shown.pixel(shown.width() / 2, shown.height() - 1)), framed ? 0 : 255);
                QTest::keyClick(&dialog, Qt::Key_Escape);
            });
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QCOMPARE(dialog.closes, 2);
        }
    }

    void lineEditAndCheckBox()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* first = new ui::VexaLineEdit(QStringLiteral("one"), &window);
        auto* second = new ui::VexaLineEdit(QStringLiteral("kept"), &window);
        auto* box = new ui::VexaCheckBox(QStringLiteral("Anonimous"), &window);
        for (QWidget* w : QList<QWidget*>{first, second, box})
            layout->addWidget(w);
        window.show();
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(first->hasFocus());
        QTest::keyClick(first, Qt::Key_Tab); // focus by Tab selects nothing
        QTRY_VERIFY(second->hasFocus());
        QTest::keyClicks(second, QStringLiteral("!"));
        QCOMPARE(second->text(), QStringLiteral("kept!"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier);
        QApplication::sendEvent(second, &enter);
        QVERIFY(enter.isAccepted()); // ends at the edit

        box->selectOnClicked(false); // a tap toggles but leaves the focus
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(12, box->height() / 2));
        QVERIFY(box->isChecked() && second->hasFocus());
    }

    void popup_data()
    {
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("result"); // empty: cancelled
        // OK types the focused key, from the first letter on; the row wraps round.
        QTest::newRow("device keys") << "a"
            << QStringList{"key Right", "key Right", "key Return", "key Down", "key Enter", "key Left",
                           "key Return", "key Left", "key Left", "key Return", "type x.txt", "Enter"}
            << "aeds-x.txt";
        QTest::newRow("the short way to Enter") << "a" << QStringList{"key Up", "key Up", "key Left", "key Return"}
                                                << "a";
        // '&' escaped in its label, typed as is; Shift once, then locked.
        QTest::newRow("touch") << "ab"
            << QStringList{"c", "Space", "Page", "&", "\\", "Page", "Backspace", "CursorLeft", "Shift", "D", "e",
                           "CursorRight", "Shift", "Shift", "F", "1", "G", "Enter"}
            << "abc De&F1G";
        QTest::newRow("Back") << "name" << QStringList{"type x", "key Esc"} << "";
    }

    void popup()
    {
        QFETCH(QString, initial);
        QFETCH(QStringList, steps);
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Rename"));
        QTEST(runPopup(dialog, initial, [&] { play(dialog, steps); }), "result");
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

    void everyChangeReachesThePanel()
    {
        support::ScreenListener panel;
        QVERIFY(panel.bind());
        VexaKeyboardDialog dialog(nullptr, QStringLiteral("Panel"));
        QStringList uncovered;
        runPopup(dialog, QString(), [&] {
            for (const QString& change : QStringList{"z", "key Down", "type y"}) {
                QTRY_VERIFY(dialog.isActiveWindow() && !vexa::screen::hasPendingEvents());
                panel.takeAll(); // what came before
                play(dialog, {change});
                QTRY_VERIFY(panel.socket.hasPendingDatagrams());
                bool covered = false;
                for (const QByteArray& d : panel.takeAll())
                    covered |= support::field(d, support::wire::Type) == support::wire::UpdateRegion
                               && support::regionOf(d).contains(dialog.geometry());
                if (!covered)
                    uncovered << change;
            }
            dialog.reject();
        });
        QCOMPARE(uncovered, QStringList()); // a region update covering the whole dialog
    }

    void onScreenKeysReachTheReceiver()
    {
        // Each key pressed and released; Enter with the keyboard's own
        // text, unlike a hardware Enter; Shift sends nothing.
        VexaKeyboard kb;
        KeyRecorder recorder;
        kb.setReceiver(&recorder);
        kb.show();
        for (const QString& key : QStringList{"Enter", "Shift", "Backspace"})
            tapKey(&kb, key);
        QCOMPARE(recorder.presses, (QStringList{QString::number(Qt::Key_Enter) + KeyboardData::ENTER_TEXT,
                                                QString::number(Qt::Key_Backspace) + "\b"}));
        QCOMPARE(recorder.releases, 2);
        QVERIFY(!KeyboardData::ENTER_TEXT.isEmpty() && KeyboardData::ENTER_TEXT != QStringLiteral("\r"));
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
