// The rotation dialog: which side a tap chooses, the rotation each side
// gives, and a run through the dialog with the real screen service.

#include "platform/sys/sysstatus.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/processes.h"
#include "support/sandbox.h"
#include "utilities/screenrotationdialog.h"

#include <QtTest>

using ui::ScreenRotationDialog;

namespace {

const QString ScreenFile = QStringLiteral("/root/Settings/screen");

} // namespace

class TestScreenRotationDialog : public QObject
{
    Q_OBJECT

private slots:
    void taps_data();
    void taps();
    void sides_data();
    void sides();
    void popup_data();
    void popup();
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

void TestScreenRotationDialog::popup_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QPoint>("tap");
    QTest::addColumn<QString>("written");
    const QString rot90 = QStringLiteral("export QWS_DISPLAY=Transformed:Rot90:VexaScreen:/dev/mem");
    QTest::newRow("Right") << QList<int>{Qt::Key_Right} << QPoint() << rot90;
    QTest::newRow("tap on a diagonal, then Escape") << QList<int>{Qt::Key_Escape} << QPoint(5, 5) << QString();
    QTest::newRow("tap on the right") << QList<int>{} << QPoint(-5, 60) << rot90;
}

void TestScreenRotationDialog::popup()
{
    QFETCH(QList<int>, keys);
    QFETCH(QPoint, tap);
    QFETCH(QString, written);
    REQUIRE_SANDBOX();
    qunsetenv("QWS_DISPLAY");
    sys::SysStatus::instance().setScreenTransformation(0);
    QFile::remove(ScreenFile);
    support::ScreenService service;
    QVERIFY(service.start());

    support::ModalDriver driver;
    driver.actions << [&](QDialog* d) {
        if (!tap.isNull()) {
            // Negative x: that far in from the right edge.
            const QPoint at(tap.x() < 0 ? d->width() + tap.x() : tap.x(), tap.y());
            QTest::mouseClick(d, Qt::LeftButton, Qt::NoModifier, at);
            QVERIFY(keys.isEmpty() || d->isVisible());
        }
        for (int key : keys)
            QTest::keyClick(d, Qt::Key(key));
    };
    ScreenRotationDialog dialog(nullptr);
    const int result = dialog.popup();
    QCOMPARE(result, int(written.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
    QCOMPARE(QFile::exists(ScreenFile), !written.isEmpty());
    if (!written.isEmpty())
        QCOMPARE(QString::fromLatin1(support::readFile(ScreenFile)), written);

    // A whole-screen GC flash as it opens, a GU once it was answered; both
    // waited for (service and reply wait). The dialog's own repaints go
    // through the toolkit's watcher without a reply wait.
    const int flushes = result == QDialog::Accepted ? 2 : 1;
    auto waitedFor = [](const QList<QJsonObject>& lines) {
        QStringList w;
        for (const QJsonObject& e : lines)
            if (e.value("wait").toInt() == 3)
                w << e.value("waveform").toString() + (e.value("type").toString() == "UPDATE_REGION" ? "" : "?");
        return w;
    };
    const QStringList flashes = waitedFor(support::waitForJsonLines(service.logPath(), [&](const QList<QJsonObject>& l) {
        return waitedFor(l).size() >= flushes;
    }));
    QCOMPARE(flashes.join(' '), QString(flushes == 2 ? "GC GU" : "GC"));
}

QTEST_MAIN(TestScreenRotationDialog)
#include "tst_screenrotationdialog.moc"
