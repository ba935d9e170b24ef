#include "platform/ui/safeparentwidget.h"
#include "platform/ui/uiresources.h"
#include "platform/ui/vexacheckbox.h"
#include "platform/ui/vexadialog.h"
#include "platform/ui/vexalabel.h"
#include "platform/ui/vexalineedit.h"
#include "platform/ui/vexapushbutton.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

class TestUiWidgets : public QObject
{
    Q_OBJECT

private slots:
    void resourcesRegister();
    void dialogFrame();
    void dialogCloses();
    void lineEditReportsFocus();
    void checkBoxSelectOnClick();
    void pushButtonAndLabel();
    void safeParent();
};

void TestUiWidgets::resourcesRegister()
{
    // Both ways of registering link and may be called more than once.
    QVERIFY(qInitResources_vexa_ui_images() != 0);
    ui::initResources();
    ui::initResources();

    struct Image
    {
        const char* path;
        int size;
    } images[] = {
        {":/images/check_box_normal", 24},
        {":/images/check_box_checked", 24},
        {":/images/up.png", 36},
        {":/images/down.png", 36},
        {":/images/close.png", 24},
    };
    for (const Image& image : images) {
        const QPixmap pm(QString::fromLatin1(image.path));
        QVERIFY2(!pm.isNull(), image.path);
        QCOMPARE(pm.size(), QSize(image.size, image.size));
    }
    // The arrows point the right way: wide at the bottom for "up", at the
    // top for "down".
    const QImage up(QStringLiteral(":/images/up.png"));
    const QImage down(QStringLiteral(":/images/down.png"));
    QCOMPARE(qGray(up.pixel(7, 26)), 0);
    QCOMPARE(qGray(up.pixel(7, 10)), 255);
    QCOMPARE(qGray(down.pixel(7, 10)), 0);
    QCOMPARE(qGray(down.pixel(7, 26)), 255);
    // The checked box differs from the empty one inside the frame.
    const QImage normal(QStringLiteral(":/images/check_box_normal"));
    const QImage checked(QStringLiteral(":/images/check_box_checked"));
    QCOMPARE(qGray(normal.pixel(10, 15)), 255);
    QVERIFY(normal != checked);
}

void TestUiWidgets::dialogFrame()
{
    ui::VexaDialog dialog(nullptr, true);
    QVERIFY(dialog.isFramed());
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    dialog.updateTitle(QStringLiteral("Screen Rotation"));
    QCOMPARE(dialog.title(), QStringLiteral("Screen Rotation"));
    QCOMPARE(dialog.titleLabel()->text(), QStringLiteral("Screen Rotation"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Screen Rotation"));
    QVERIFY(dialog.titleLabel()->hasTitleBarStyle());
    QVERIFY(ui::VexaDialog::defaultItemHeight() >= 36);
    QVERIFY(!dialog.closeButton()->icon().isNull());

    // Contents go below the title bar.
    auto* content = new QWidget;
    content->setFixedSize(100, 50);
    dialog.vbox()->addWidget(content);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(content->geometry().top() >= dialog.titleBar()->geometry().bottom());
    // A frame is drawn round the framed dialog, not round the docked kind.
    const QImage framed = dialog.grab().toImage();
    QCOMPARE(qGray(framed.pixel(0, framed.height() - 1)), 0);
    QCOMPARE(qGray(framed.pixel(framed.width() / 2, framed.height() - 1)), 0);

    ui::VexaDialog docked(nullptr, false);
    docked.vbox()->addWidget(new QWidget);
    docked.resize(200, 200);
    docked.show();
    QVERIFY(QTest::qWaitForWindowExposed(&docked));
    const QImage plain = docked.grab().toImage();
    QCOMPARE(qGray(plain.pixel(plain.width() / 2, plain.height() - 1)), 255);
}

// A dialog that counts calls of the close handler it overrides.
class ClosingDialog : public ui::VexaDialog
{
public:
    int closes = 0;
    using ui::VexaDialog::VexaDialog;
    void onCloseClicked() override
    {
        ++closes;
        ui::VexaDialog::onCloseClicked();
    }
};

void TestUiWidgets::dialogCloses()
{
    ClosingDialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog]() { QTest::mouseClick(dialog.closeButton(), Qt::LeftButton); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(dialog.closes, 1);

    QTimer::singleShot(0, &dialog, [&dialog]() { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(dialog.closes, 2);

    QTimer::singleShot(0, &dialog, [&dialog]() { dialog.accept(); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.closes, 2);
}

void TestUiWidgets::lineEditReportsFocus()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* first = new ui::VexaLineEdit(QStringLiteral("one"), &window);
    auto* second = new ui::VexaLineEdit(QString(), &window);
    layout->addWidget(first);
    layout->addWidget(second);
    QCOMPARE(first->text(), QStringLiteral("one"));
    QVERIFY(first->minimumHeight() >= ui::VexaDialog::defaultItemHeight());

    QList<ui::VexaLineEdit*> focused;
    connect(first, &ui::VexaLineEdit::getFocus, this, [&focused](ui::VexaLineEdit* e) { focused << e; });
    connect(second, &ui::VexaLineEdit::getFocus, this, [&focused](ui::VexaLineEdit* e) { focused << e; });
    // The signature callers connect by name.
    QVERIFY(first->metaObject()->indexOfSignal("getFocus(VexaLineEdit*)") >= 0);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    QTRY_VERIFY(QApplication::focusWidget() == first); // the first field on show
    QCOMPARE(focused.size(), 1);
    QCOMPARE(focused.last(), first);
    second->setFocus();
    QTRY_COMPARE(focused.size(), 2);
    QCOMPARE(focused.last(), second);
    QTest::mouseClick(first, Qt::LeftButton);
    QTRY_COMPARE(focused.size(), 3);
    QCOMPARE(focused.last(), first);
    // Typing does not repeat the signal, and focus by Tab keeps the text.
    QTest::keyClicks(first, QStringLiteral("xy"));
    QCOMPARE(focused.size(), 3);
    QCOMPARE(first->text(), QStringLiteral("onexy"));
    first->setFocus(Qt::OtherFocusReason);
    second->setText(QStringLiteral("kept"));
    QTest::keyClick(first, Qt::Key_Tab);
    QTRY_COMPARE(focused.size(), 4);
    QVERIFY(!second->hasSelectedText());
    QTest::keyClicks(second, QStringLiteral("!"));
    QCOMPARE(second->text(), QStringLiteral("kept!"));

    // Enter is used up by the edit; Escape goes on to the parent.
    QSignalSpy returned(second, &QLineEdit::returnPressed);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(second, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(returned.size(), 1);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(second, &escape);
    QVERIFY(!escape.isAccepted());
}

void TestUiWidgets::checkBoxSelectOnClick()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* edit = new ui::VexaLineEdit(QString(), &window);
    auto* box = new ui::VexaCheckBox(QStringLiteral("Anonimous"), &window);
    layout->addWidget(edit);
    layout->addWidget(box);
    QCOMPARE(box->text(), QStringLiteral("Anonimous"));
    QVERIFY(box->isSelectOnClicked());
    box->selectOnClicked(false);
    QVERIFY(!box->isSelectOnClicked());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QTRY_VERIFY(edit->hasFocus());

    QSignalSpy clicked(box, &QCheckBox::clicked);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(12, box->height() / 2));
    QVERIFY(box->isChecked());
    QCOMPARE(clicked.size(), 1);
    QVERIFY(edit->hasFocus()); // the tap did not select the box

    box->selectOnClicked(true);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(12, box->height() / 2));
    QVERIFY(!box->isChecked());
    QVERIFY(box->hasFocus());

    // The indicator is the toolkit's image: unchecked shows an empty box.
    const QImage off = box->grab().toImage();
    box->setChecked(true);
    const QImage on = box->grab().toImage();
    QVERIFY(off != on);
}

void TestUiWidgets::pushButtonAndLabel()
{
    ui::VexaPushButton ok(QStringLiteral("OK"));
    QCOMPARE(ok.text(), QStringLiteral("OK"));
    QVERIFY(!ok.autoDefault());
    ok.useDefaultHeight();
    QCOMPARE(ok.height(), ui::VexaDialog::defaultItemHeight());
    QCOMPARE(ok.minimumHeight(), ok.maximumHeight());

    ui::initResources();
    ui::VexaPushButton up(QIcon(QStringLiteral(":/images/up.png")), QStringLiteral("Up"));
    QVERIFY(!up.icon().isNull());
    QCOMPARE(up.text(), QStringLiteral("Up"));

    ui::VexaLabel label(QStringLiteral("Domain"));
    QCOMPARE(label.text(), QStringLiteral("Domain"));
    QVERIFY(!label.hasTitleBarStyle());
    label.useTitleBarStyle();
    QVERIFY(label.hasTitleBarStyle());
    QCOMPARE(label.palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(label.palette().color(QPalette::WindowText), QColor(Qt::white));
    QVERIFY(label.font().bold());
    label.resize(200, 40);
    const QImage img = label.grab().toImage();
    QCOMPARE(qGray(img.pixel(1, 1)), 0);
}

void TestUiWidgets::safeParent()
{
    QWidget top;
    top.setGeometry(20, 30, 300, 400);
    auto* middle = new QWidget(&top);
    auto* leaf = new QWidget(middle);
    QCOMPARE(ui::safeParentWidget(leaf), &top);
    QCOMPARE(ui::safeParentWidget(&top), &top);

    QWidget* screen = ui::safeParentWidget(nullptr);
    QVERIFY(screen);
    QCOMPARE(screen, static_cast<QWidget*>(QApplication::desktop()));
    QCOMPARE(screen->geometry(), QGuiApplication::primaryScreen()->virtualGeometry());
    QVERIFY(screen->width() > 0 && screen->height() > 0);
}

QTEST_MAIN(TestUiWidgets)
#include "tst_ui_widgets.moc"
