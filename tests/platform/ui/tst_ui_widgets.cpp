// What the dialogs rely on in the toolkit's dialog frame, line edit and
// check box.

#include "platform/ui/vexacheckbox.h"
#include "platform/ui/vexadialog.h"
#include "platform/ui/vexalineedit.h"
#include "platform/ui/vexapushbutton.h"
#include "support/sandbox.h"

#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

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

class TestUiWidgets : public QObject
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
        QSignalSpy focused(second, &ui::VexaLineEdit::getFocus);
        window.show();
        QApplication::setActiveWindow(&window);
        QTRY_VERIFY(first->hasFocus());
        QTest::keyClick(first, Qt::Key_Tab); // focus by Tab selects nothing
        QTRY_COMPARE(focused.count(), 1);
        QTest::keyClicks(second, QStringLiteral("!"));
        QCOMPARE(second->text(), QStringLiteral("kept!"));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier);
        QApplication::sendEvent(second, &enter);
        QVERIFY(enter.isAccepted()); // ends at the edit

        box->selectOnClicked(false); // a tap toggles but leaves the focus
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(12, box->height() / 2));
        QVERIFY(box->isChecked() && second->hasFocus());
        box->selectOnClicked(true);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(12, box->height() / 2));
        QVERIFY(!box->isChecked() && box->hasFocus());
    }
};

QTEST_MAIN(TestUiWidgets)
#include "tst_ui_widgets.moc"
