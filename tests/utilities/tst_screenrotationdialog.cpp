// The rotation dialog: which side a tap chooses and the rotation each side
// gives (a run through it, with its flushes, is end to end).

#include "utilities/screenrotationdialog.h"

#include <QtTest>

using ui::ScreenRotationDialog;

class TestScreenRotationDialog : public QObject
{
    Q_OBJECT

private slots:
    void taps_data();
    void taps();
    void sides_data();
    void sides();
};

void TestScreenRotationDialog::taps_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("side");
    const QSize square(252, 252);
    QTest::newRow("top") << QPoint(126, 10) << square << int(ScreenRotationDialog::Top);
    QTest::newRow("bottom") << QPoint(126, 240) << square << int(ScreenRotationDialog::Bottom);
    QTest::newRow("right") << QPoint(240, 126) << square << int(ScreenRotationDialog::Right);
    QTest::newRow("falling diagonal") << QPoint(60, 60) << square << int(ScreenRotationDialog::NoSide);
    QTest::newRow("rising diagonal") << QPoint(200, 52) << square << int(ScreenRotationDialog::NoSide);
    QTest::newRow("just above the rising one") << QPoint(200, 51) << square << int(ScreenRotationDialog::Top);
    // d = 300 - (100 * 300) / 200 = 150
    QTest::newRow("taller dialog, on the rising one") << QPoint(100, 150) << QSize(200, 300) << int(ScreenRotationDialog::NoSide);
    QTest::newRow("taller dialog, below it") << QPoint(100, 151) << QSize(200, 300) << int(ScreenRotationDialog::Bottom);
}

void TestScreenRotationDialog::taps()
{
    QFETCH(QPoint, at);
    QFETCH(QSize, size);
    QFETCH(int, side);
    QCOMPARE(int(ScreenRotationDialog::sideAt(at.x(), at.y(), size.width(), size.height())), side);
}

void TestScreenRotationDialog::sides_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("turned");
    QTest::newRow("up from 270") << int(ScreenRotationDialog::Top) << 270 << 90;
    QTest::newRow("left from 270") << int(ScreenRotationDialog::Left) << 270 << 180;
    QTest::newRow("right from 270") << int(ScreenRotationDialog::Right) << 270 << 0;
    QTest::newRow("down from 270") << int(ScreenRotationDialog::Bottom) << 270 << -1;
}

void TestScreenRotationDialog::sides()
{
    QFETCH(int, side);
    QFETCH(int, current);
    QFETCH(int, turned);
    QCOMPARE(ScreenRotationDialog::turnedBy(ScreenRotationDialog::Side(side), current), turned);
}

QTEST_MAIN(TestScreenRotationDialog)
#include "tst_screenrotationdialog.moc"
