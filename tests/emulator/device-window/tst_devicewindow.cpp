// The device window's input: the user's keys and pointer on the panel
// picture become the device's command lines for the forwarder.
#include "inputtranslator.h"
#include "panelview.h"

#include <QSignalSpy>
#include <QtTest>

class DeviceWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void input_data()
    {
        QTest::addColumn<int>("key"); // 0: a click
        QTest::addColumn<bool>("repeated");
        QTest::addColumn<QPoint>("at"); // on a 600 x 400 view: the panel at half size, x 150-449
        QTest::addColumn<int>("button");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("Page Down") << int(Qt::Key_PageDown) << false << QPoint() << 0 << QStringList{ "key Next" };
        QTest::newRow("Enter is OK") << int(Qt::Key_Enter) << false << QPoint() << 0 << QStringList{ "key Return" };
        QTest::newRow("F1 is Menu") << int(Qt::Key_F1) << false << QPoint() << 0 << QStringList{ "key Menu" };
        QTest::newRow("M is Menu") << int(Qt::Key_M) << false << QPoint() << 0 << QStringList{ "key Menu" };
        QTest::newRow("a held key is one press") << int(Qt::Key_Down) << true << QPoint() << 0 << QStringList();
        QTest::newRow("not a device key") << int(Qt::Key_Tab) << false << QPoint() << 0 << QStringList();
        QTest::newRow("a tap, in panel pixels") << 0 << false << QPoint(200, 100) << int(Qt::LeftButton)
                                                << QStringList{ "press 100 200", "release 100 200" };
        QTest::newRow("beside the panel") << 0 << false << QPoint(20, 100) << int(Qt::LeftButton) << QStringList();
        QTest::newRow("another button") << 0 << false << QPoint(300, 100) << int(Qt::RightButton) << QStringList();
    }
    void input()
    {
        QFETCH(int, key);
        QFETCH(bool, repeated);
        QFETCH(QPoint, at);
        QFETCH(int, button);
        InputTranslator input;
        PanelView view(QSize(600, 800), &input);
        view.resize(600, 400);
        QSignalSpy sent(&input, &InputTranslator::command);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), repeated);
        if (key != 0)
            QApplication::sendEvent(&view, &press);
        else
            QTest::mouseClick(&view, Qt::MouseButton(button), {}, at);
        QStringList got;
        for (const QList<QVariant>& s : sent)
            got << s.first().toString();
        QTEST(got, "lines");
    }

    // Held still for a second (a tremble allowed): the system manager's long
    // press while still down, never sooner; a drag is none.
    void longPress()
    {
        InputTranslator input;
        QSignalSpy sent(&input, &InputTranslator::command);
        const auto longPressed = [&] { return sent.last().first().toString().startsWith("long"); };
        QElapsedTimer held;
        held.start();
        input.press(QPoint(50, 50));
        input.move(QPoint(53, 54));
        QVERIFY(QTest::qWaitFor(longPressed, 5 * InputTranslator::LongPressMs));
        QVERIFY(held.elapsed() >= InputTranslator::LongPressMs);
        QCOMPARE(sent.last().first().toString(), QStringLiteral("long 50 50"));
        input.release(QPoint(53, 54));
        input.press(QPoint(50, 50));
        input.move(QPoint(50, 51 + InputTranslator::LongPressSlop));
        QVERIFY(!QTest::qWaitFor(longPressed, 2 * InputTranslator::LongPressMs));
    }
};

QTEST_MAIN(DeviceWindowTest)
#include "tst_devicewindow.moc"
